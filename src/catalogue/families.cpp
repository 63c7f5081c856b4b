#include "catalogue/families.h"

namespace zc {

namespace {

// "ZENTA Tavlo Software 9.7" stands in both the drivers table and the Tavlo
// Software table, with the same product code.
#define ZC_TAVLO_SOFTWARE_97 L"{C58288BE-29CA-4CBA-A599-B1418A95CCD7}"

const FallbackProductRow kQuilloRows[] = {
    {L"Quillo Software 10.6.94.0", L"{821ACA4F-105B-4571-BCA1-6FFA9129DD4C}"},
    {L"Quillo Software 10.6.96.0", L"{0CD7102D-D4BF-4F37-BC11-4E07B20209CE}"},
    {L"Quillo Software 10.6.142.1", L"{F7AC1677-64BD-471B-87DF-C1E0B6C10842}"},
    {L"Quillo Software 10.6.219.2", L"{4B418E43-B4F0-49C1-ADF9-1A438F269D5D}"},
    {L"Quillo Software 10.7", L"{40C3E392-3390-46C3-923F-0EDF2DD2850B}"},
    {L"Quillo Software 10.8", L"{4233A874-F8D9-4777-B94C-432B2889509D}"},
    {L"Quillo Software 11.0", L"{D406E08D-2A6C-454C-B608-A31C0A6DEBF6}"},
    {L"Quillo Software 11.1", L"{E46D9FED-5C85-4C60-9548-80BC4DE367EC}"},
};

const FallbackProductRow kTavloDriverRows[] = {
    {L"ZENTA Tavlo Software 9.7", ZC_TAVLO_SOFTWARE_97},
    {L"Product Drivers 10.6", L"{6F940328-5A07-4D83-8CD7-80A7284FB9DC}"},
    {L"Product Drivers 10.6 SP1", L"{3D6D6707-73F1-4A06-860A-4D4443426873}"},
    {L"Product Drivers 10.6 SP2", L"{E09B163A-AD1E-47D1-A642-FE4ECEEAE938}"},
    {L"Product Drivers 10.7", L"{1009F237-C4F3-4B57-B723-F59D3B02D81A}"},
    {L"Product Drivers 10.8", L"{4C7DD64A-AE81-4F12-A9A9-49FA563C7086}"},
    {L"Product Drivers 11.0", L"{717F2A3F-FE14-4F6E-A1A7-6CC466FCC110}"},
    {L"Product Drivers 11.1", L"{E1DE01DD-DE4B-4088-8C26-852C377923D8}"},
};

const FallbackProductRow kQuorixRows[] = {
    {L"ZENTA Quorix 2.5", L"{57CDB56E-350A-4D54-BD42-FA8C01EC766B}"},
    {L"ZENTA Quorix 3.0", L"{5D7F6D0D-C36F-4198-AC0C-932A0962D94F}"},
    {L"ZENTA Quorix 3.0 SP1", L"{BDFAA667-CEC6-403C-A1C1-F5D395CA2968}"},
    {L"ZENTA Quorix 3.5", L"{96F69B14-7EF5-4B98-B6DA-993F29F2834B}"},
    {L"ZENTA Quorix 4.0", L"{D4FB8AE4-BF39-42C0-A084-7D8C5206E5C1}"},
    {L"ZENTA Quorix 4.5", L"{C5FCEA76-5728-4F57-9BEF-A12844413281}"},
};

const FallbackProductRow kVexilRows[] = {
    {L"ZENTA Vexil 1.0", L"{A9D65504-3182-488E-82AD-5CD1A50C84DA}"},
    {L"ZENTA Vexil 1.1 SP1", L"{EDBA8309-ECF1-4388-A06A-0B180F175AEA}"},
    {L"ZENTA Vexil 1.5", L"{7FCC2407-8E64-4EDA-BF80-D03FF8AF5B4F}"},
};

const FallbackProductRow kConvexaRows[] = {
    {L"ZENTA Convexa 3.0", L"{F2FBDAC2-4C64-4FC8-AF58-945E52EAB05E}"},
    {L"ZENTA Convexa 3.1", L"{B5496164-E639-4EDC-9EC2-42FEC074D0C4}"},
    {L"ZENTA Convexa 3.1 SP1", L"{12BEC5AF-5E98-48E9-8774-F67C4A0B8585}"},
};

const FallbackProductRow kCommonFilesRows[] = {
    {L"ZENTA Common Files 11.0", L"{4A73DD9C-5C0B-4A9A-A05E-9971C4B7DB8D}"},
    {L"ZENTA Common Files 11.2", L"{40F6AC18-40D2-46B4-803A-BDC96B8F1E9E}"},
};

const FallbackProductRow kTavloSoftwareRows[] = {
    {L"ZENTA Tavlo Software 9.7", ZC_TAVLO_SOFTWARE_97},
    {L"ZENTA Tavlo Software 9.5", L"{CE1A423B-9346-494A-B175-E4F932EF36B0}"},
};

#undef ZC_TAVLO_SOFTWARE_97

}  // namespace

const std::array<ProductFamily, kFamilyCount> kProductFamilies = {{
    {L"Quillo Software", L"{3AB63D1F-F485-4F22-9492-77271BE1F4AF}", kQuilloRows},
    {L"Tavlo/Product Drivers", L"{654E938D-CE8C-45D5-A3DE-8EA618A9D667}", kTavloDriverRows},
    {L"Quorix/Teviro", L"{340A417F-0676-45D2-B067-7ECBFB497D05}", kQuorixRows},
    {L"Vexil", L"{31C311B7-EC40-4395-96D7-A040BD93E8C2}", kVexilRows},
    {L"Convexa", L"{CDFD3DC9-9B93-4A07-A0EE-666B3DC769FE}", kConvexaRows},
    {L"Convexa PE", L"{806DD141-3F5E-4F92-85D9-96D42676641D}", {}},
    {L"Common Files", L"{6889BEFB-045C-4685-BE08-C2EB8748C548}", kCommonFilesRows},
    {L"ZENTA Tavlo Software", L"{49886E5A-BA9A-4CEA-9971-5202F8E0D0A7}", kTavloSoftwareRows},
}};

}  // namespace zc
