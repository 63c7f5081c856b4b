#include "catalogue/version.h"

#include <climits>
#include <cwctype>
#include <vector>

namespace zc {

const CVersion g_verUnbounded(-1, 0, 0, 0, 1);
const CVersion g_verQuilloThreshold(L"10.8.0.0");
const CVersion g_verTavloDriversThreshold(L"10.8.0.0");
const CVersion g_verQuorixThreshold(L"3.5.0.0");
const CVersion g_verCorvelTeacherThreshold(L"10.0.0.0");

namespace {

// Reads a piece the way wcstol(piece, nullptr, 10) does, saturating at the
// limits of a signed 32-bit number.
std::int32_t ReadPiece(std::wstring_view piece) {
  std::size_t i = 0;
  while (i < piece.size() && std::iswspace(static_cast<wint_t>(piece[i]))) ++i;
  bool negative = false;
  if (i < piece.size() && (piece[i] == L'+' || piece[i] == L'-')) {
    negative = piece[i] == L'-';
    ++i;
  }
  long long value = 0;
  bool saturated = false;
  for (; i < piece.size() && piece[i] >= L'0' && piece[i] <= L'9'; ++i) {
    if (!saturated) {
      value = value * 10 + (piece[i] - L'0');
      if (value > static_cast<long long>(INT_MAX) + 1) saturated = true;
    }
  }
  if (negative) {
    if (saturated || -value < INT_MIN) return INT_MIN;
    return static_cast<std::int32_t>(-value);
  }
  if (saturated || value > INT_MAX) return INT_MAX;
  return static_cast<std::int32_t>(value);
}

}  // namespace

CVersion::CVersion(std::wstring_view text) { SetFromString(text); }

void CVersion::SetFromString(std::wstring_view text) {
  m_nMajor = m_nMinor = m_nRevision = m_nBuild = 0;
  m_bValid = 0;
  if (text.empty()) return;

  std::vector<std::wstring_view> pieces;
  std::size_t start = 0;
  for (;;) {
    const std::size_t dot = text.find(L'.', start);
    if (dot == std::wstring_view::npos) {
      pieces.push_back(text.substr(start));
      break;
    }
    pieces.push_back(text.substr(start, dot - start));
    start = dot + 1;
    if (pieces.size() > 4) return;
  }
  if (pieces.size() > 4) return;

  std::int32_t n[4] = {0, 0, 0, 0};
  for (std::size_t i = 0; i < pieces.size(); ++i) n[i] = ReadPiece(pieces[i]);
  m_nMajor = n[0];
  m_nMinor = n[1];
  if (pieces.size() == 3) {
    m_nBuild = n[2];
  } else if (pieces.size() == 4) {
    m_nRevision = n[2];
    m_nBuild = n[3];
  }
  m_bValid = 1;
}

bool CVersion::Equals(const CVersion& other) const {
  return (m_bValid != 0) == (other.m_bValid != 0) && m_nMajor == other.m_nMajor && m_nMinor == other.m_nMinor &&
         m_nRevision == other.m_nRevision && m_nBuild == other.m_nBuild;
}

bool CVersion::IsLessThan(const CVersion& other) const {
  if (!m_bValid) return true;
  if (other.Equals(g_verUnbounded)) return true;
  if (Equals(g_verUnbounded)) return false;
  if (m_nMajor != other.m_nMajor) return m_nMajor < other.m_nMajor;
  if (m_nMinor != other.m_nMinor) return m_nMinor < other.m_nMinor;
  if (m_nBuild != other.m_nBuild) return m_nBuild < other.m_nBuild;
  if (m_nRevision != other.m_nRevision) return m_nRevision < other.m_nRevision;
  return false;
}

bool CVersion::IsGreaterThan(const CVersion& other) const { return !IsLessThan(other) && !Equals(other); }

std::wstring CVersion::ToString() const {
  return std::to_wstring(m_nMajor) + L"." + std::to_wstring(m_nMinor) + L"." + std::to_wstring(m_nRevision) + L"." +
         std::to_wstring(m_nBuild);
}

}  // namespace zc
