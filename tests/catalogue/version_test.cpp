#include <gtest/gtest.h>

#include "catalogue/version.h"

namespace zc {
namespace {

void ExpectFields(const CVersion& v, int major, int minor, int revision, int build, int valid) {
  EXPECT_EQ(v.m_nMajor, major);
  EXPECT_EQ(v.m_nMinor, minor);
  EXPECT_EQ(v.m_nRevision, revision);
  EXPECT_EQ(v.m_nBuild, build);
  EXPECT_EQ(v.m_bValid, valid);
}

TEST(VersionParsing, PiecesGoToTheirFieldsByCount) {
  ExpectFields(CVersion(L"10"), 10, 0, 0, 0, 1);
  ExpectFields(CVersion(L"10.8"), 10, 8, 0, 0, 1);
  ExpectFields(CVersion(L"10.8.364"), 10, 8, 0, 364, 1);
  ExpectFields(CVersion(L"10.8.364.7"), 10, 8, 364, 7, 1);
}

TEST(VersionParsing, OddTextsFollowTheCRuntimeReading) {
  ExpectFields(CVersion(L""), 0, 0, 0, 0, 0);
  ExpectFields(CVersion(L"10.8.0.0.1"), 0, 0, 0, 0, 0);
  ExpectFields(CVersion(L"10."), 10, 0, 0, 0, 1);
  ExpectFields(CVersion(L"."), 0, 0, 0, 0, 1);
  ExpectFields(CVersion(L" 10 . 8"), 10, 8, 0, 0, 1);
  ExpectFields(CVersion(L"3a.5"), 3, 5, 0, 0, 1);
  ExpectFields(CVersion(L"a3.5"), 0, 5, 0, 0, 1);
  ExpectFields(CVersion(L"99999999999"), 2147483647, 0, 0, 0, 1);
  ExpectFields(CVersion(L"-99999999999.+7"), -2147483647 - 1, 7, 0, 0, 1);
  ExpectFields(CVersion(L"...."), 0, 0, 0, 0, 0);
}

TEST(VersionParsing, SetFromStringResetsFirst) {
  CVersion v(L"1.2.3.4");
  v.SetFromString(L"1.2.3.4.5");
  ExpectFields(v, 0, 0, 0, 0, 0);
  v.SetFromString(L"7");
  ExpectFields(v, 7, 0, 0, 0, 1);
  v.SetFromString(L"");
  ExpectFields(v, 0, 0, 0, 0, 0);
}

TEST(VersionOrdering, FourthNumberWeighsMoreThanThird) {
  EXPECT_TRUE(CVersion(L"10.8.0.5").IsGreaterThan(CVersion(L"10.8.1.0")));
  EXPECT_TRUE(CVersion(L"10.8.364").IsGreaterThan(g_verQuilloThreshold));
  EXPECT_TRUE(CVersion(L"10.8.364.0").IsGreaterThan(g_verQuilloThreshold));
  EXPECT_FALSE(CVersion(L"10.8.0.0").IsGreaterThan(g_verQuilloThreshold));
  EXPECT_TRUE(CVersion(L"10.8").Equals(g_verQuilloThreshold));
  EXPECT_TRUE(CVersion(L"11.0.1234.0").IsGreaterThan(g_verQuilloThreshold));
  EXPECT_FALSE(CVersion(L"3.5.0.0").IsGreaterThan(g_verQuorixThreshold));
}

TEST(VersionOrdering, InvalidIsBelowEverythingItselfIncluded) {
  const CVersion a(L""), b(L"1.2.3.4.5");
  EXPECT_TRUE(a.Equals(b));
  EXPECT_TRUE(a.IsLessThan(b));
  EXPECT_TRUE(a.IsLessThan(a));
  EXPECT_FALSE(a.IsGreaterThan(b));
  EXPECT_FALSE(a.IsGreaterThan(g_verQuilloThreshold));
  EXPECT_TRUE(CVersion(L"0").IsGreaterThan(a));
  EXPECT_FALSE(CVersion(L"0.-1").IsGreaterThan(a));
}

TEST(VersionOrdering, MinusOneIsUnboundedAndAboveEveryThreshold) {
  const CVersion minusOne(L"-1");
  EXPECT_TRUE(minusOne.Equals(g_verUnbounded));
  for (const CVersion* t :
       {&g_verQuilloThreshold, &g_verTavloDriversThreshold, &g_verQuorixThreshold, &g_verCorvelTeacherThreshold}) {
    EXPECT_TRUE(minusOne.IsGreaterThan(*t));
    EXPECT_TRUE(t->IsLessThan(minusOne));
  }
  EXPECT_TRUE(g_verUnbounded.IsLessThan(g_verUnbounded));
  EXPECT_FALSE(CVersion(L"-2").IsGreaterThan(g_verQuorixThreshold));
}

TEST(VersionPrinting, AlwaysFourPartsInFieldOrder) {
  EXPECT_EQ(CVersion(L"10.8.364").ToString(), L"10.8.0.364");
  EXPECT_EQ(CVersion(L"10.8.364.0").ToString(), L"10.8.364.0");
  EXPECT_EQ(CVersion(L"").ToString(), L"0.0.0.0");
  EXPECT_EQ(CVersion(L"-1").ToString(), L"-1.0.0.0");
}

}  // namespace
}  // namespace zc
