// A four-part product version as Windows Installer reports it in
// "VersionString", with the tool's own ordering.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zc {

class CVersion {
 public:
  CVersion() = default;
  explicit CVersion(std::wstring_view text);
  CVersion(std::int32_t major, std::int32_t minor, std::int32_t revision, std::int32_t build, std::int32_t valid)
      : m_nMajor(major), m_nMinor(minor), m_nRevision(revision), m_nBuild(build), m_bValid(valid) {}
  CVersion(const CVersion&) = default;
  CVersion& operator=(const CVersion&) = default;
  virtual ~CVersion() = default;

  void SetFromString(std::wstring_view text);

  bool Equals(const CVersion& other) const;
  bool IsLessThan(const CVersion& other) const;
  bool IsGreaterThan(const CVersion& other) const;
  std::wstring ToString() const;

  std::int32_t m_nMajor = 0;
  std::int32_t m_nMinor = 0;
  // The third number of a four-part text; weighs least in comparisons.
  std::int32_t m_nRevision = 0;
  // The fourth number of a four-part text, or the third of a three-part one.
  std::int32_t m_nBuild = 0;
  std::int32_t m_bValid = 0;
};

extern const CVersion g_verQuilloThreshold;
extern const CVersion g_verTavloDriversThreshold;
extern const CVersion g_verQuorixThreshold;
extern const CVersion g_verCorvelTeacherThreshold;
// -1.0.0.0 and valid: the text "-1" parses to it, and it orders above
// every other version.
extern const CVersion g_verUnbounded;

}  // namespace zc
