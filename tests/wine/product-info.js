// Asks Windows Installer about the fixture product through its automation
// object (backed by msi.dll: ProductInfo is MsiGetProductInfoW, Products is
// MsiEnumProductsW, RelatedProducts is MsiEnumRelatedProductsW), one answer a
// line. The automation object reports a failing call as an exception whose
// number is an HRESULT, not the Windows Installer error itself.
var installer = new ActiveXObject("WindowsInstaller.Installer");
var product = "{4E1F6C2A-7B3D-4C59-9A10-2B6E8D5F3A71}";
var upgrade = "{9C2B4D7E-1A3F-4B6C-8D5E-7F0A1B2C3D4E}";
var names = ["ProductName", "Publisher", "VersionString", "InstallLocation",
             "InstallSource", "PackageName", "PackageCode", "Language",
             "Version", "AssignmentType", "InstalledProductName"];
var lines = [];
lines.push("ProductState " + installer.ProductState(product));
for (var i = 0; i < names.length; i++) {
  try {
    lines.push("ProductInfo " + names[i] + " = \"" + installer.ProductInfo(product, names[i]) + "\"");
  } catch (e) {
    lines.push("ProductInfo " + names[i] + " fails 0x" + (e.number >>> 0).toString(16));
  }
}
for (var it = new Enumerator(installer.Products); !it.atEnd(); it.moveNext())
  lines.push("Products " + it.item());
var related = installer.RelatedProducts(upgrade);
for (var j = 0; j < related.Count; j++)
  lines.push("RelatedProducts " + related.Item(j));
WScript.Echo(lines.join("\n"));
