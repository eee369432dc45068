#include "app/VersionInfo.h"

#include <algorithm>

#include "common/Text.h"

namespace vorpa {
namespace {

constexpr std::uint32_t kFixedSignature = 0xFEEF04BD;
constexpr std::size_t kNodeHeader = 6;  // wLength, wValueLength, wType

std::uint16_t U16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const unsigned char* p) { return U16(p) | (static_cast<std::uint32_t>(U16(p + 2)) << 16); }
std::size_t Align4(std::size_t offset) { return (offset + 3) & ~static_cast<std::size_t>(3); }

// One node of the tree: a key, a value and the children after it. Offsets are
// from the start of the resource, to which the 32-bit alignment refers.
struct Node {
  std::wstring key;
  std::size_t value = 0, valueEnd = 0;  // value bytes
  std::size_t children = 0, end = 0;
};

// Reads the node at offset, bounded by limit (its parent's end).
bool ReadNode(const unsigned char* data, std::size_t offset, std::size_t limit, Node& node) {
  if (offset + kNodeHeader > limit) return false;
  const std::size_t length = U16(data + offset);
  const std::size_t valueLength = U16(data + offset + 2);
  const bool text = U16(data + offset + 4) == 1;
  if (length < kNodeHeader || length > limit - offset) return false;
  node.end = offset + length;
  std::size_t p = offset + kNodeHeader;
  std::size_t keyEnd = p;
  while (keyEnd + 1 < node.end && U16(data + keyEnd) != 0) keyEnd += 2;
  if (keyEnd + 1 >= node.end) return false;  // no terminating NUL inside the node
  node.key = DecodeUtf16Le(std::string_view(reinterpret_cast<const char*>(data + p), keyEnd - p));
  node.value = std::min(Align4(keyEnd + 2), node.end);
  // Resource compilers disagree on whether a text value's length counts
  // characters or bytes; both are bounded by the node and the text by its NUL.
  const std::size_t valueBytes = text ? 2 * valueLength : valueLength;
  node.valueEnd = std::min(node.value + valueBytes, node.end);
  node.children = std::min(Align4(node.valueEnd), node.end);
  return true;
}

template <typename F>
void ForEachChild(const unsigned char* data, const Node& parent, F&& f) {
  std::size_t offset = parent.children;
  Node child;
  while (offset < parent.end && ReadNode(data, offset, parent.end, child)) {
    f(child);
    offset = Align4(child.end);
  }
}

std::wstring TextValue(const unsigned char* data, const Node& node) {
  std::size_t end = node.value;
  while (end + 1 < node.end && U16(data + end) != 0) end += 2;
  return DecodeUtf16Le(std::string_view(reinterpret_cast<const char*>(data + node.value), end - node.value));
}

std::wstring Hex4(unsigned v) {
  static constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring s(4, L'0');
  for (int i = 3; i >= 0; --i, v >>= 4) s[static_cast<size_t>(i)] = kDigits[v & 0xF];
  return s;
}

}  // namespace

std::wstring VersionInfo::String(std::wstring_view key) const {
  for (const auto& [k, v] : strings)
    if (k == key) return v;
  return {};
}

bool ParseVersionInfo(const unsigned char* data, std::size_t size, VersionInfo& out) {
  out = {};
  Node root;
  if (!data || !ReadNode(data, 0, size, root) || root.key != L"VS_VERSION_INFO") return false;
  if (root.valueEnd - root.value < 16 || U32(data + root.value) != kFixedSignature) return false;
  out.fileVersionMs = U32(data + root.value + 8);
  out.fileVersionLs = U32(data + root.value + 12);

  std::wstring wanted;  // language and code page of the first translation, as the table names it
  std::vector<Node> tables;
  ForEachChild(data, root, [&](const Node& block) {
    if (block.key == L"StringFileInfo") {
      ForEachChild(data, block, [&](const Node& table) { tables.push_back(table); });
    } else if (block.key == L"VarFileInfo") {
      ForEachChild(data, block, [&](const Node& var) {
        if (var.key == L"Translation" && wanted.empty() && var.valueEnd - var.value >= 4)
          wanted = Hex4(U16(data + var.value)) + Hex4(U16(data + var.value + 2));
      });
    }
  });
  const Node* chosen = tables.empty() ? nullptr : &tables.front();
  for (const Node& t : tables)
    if (EqualsIgnoreCase(t.key, wanted)) {
      chosen = &t;
      break;
    }
  if (chosen) {
    ForEachChild(data, *chosen, [&](const Node& s) { out.strings.emplace_back(s.key, TextValue(data, s)); });
  }
  return true;
}

}  // namespace vorpa
