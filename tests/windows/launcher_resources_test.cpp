// QuelvarWin's resources as Windows itself reads them: an icon group MAINICON first, with
// 48, 32 and 16 pixel images at 24 bits of a white cloud on a round light-blue disc, the
// manifest, and nothing else. Checked on the build's own launcher and on the shipped
// 32-bit one when its path is given.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "read_file.h"

namespace {

namespace fs = std::filesystem;

#pragma pack(push, 2)
struct GroupEntry {  // an icon group's entry, as resources keep it
  BYTE width, height, colours, reserved;
  WORD planes, bits;
  DWORD bytes;
  WORD id;
};
struct GroupHeader {
  WORD reserved, type, count;
};
#pragma pack(pop)

std::vector<BYTE> resource(HMODULE module, LPCWSTR name, LPCWSTR type) {
  HRSRC found = FindResourceW(module, name, type);
  if (found == nullptr) return {};
  const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  return std::vector<BYTE>(bytes, bytes + SizeofResource(module, found));
}

// An icon image: a bitmap header, the colours bottom row first, then a 1-bit mask.
struct IconImage {
  std::vector<BYTE> bytes;
  int size;

  const BITMAPINFOHEADER& header() const {
    return *reinterpret_cast<const BITMAPINFOHEADER*>(bytes.data());
  }
  int row(int y) const { return size - 1 - y; }
  // Red, green and blue of pixel (x, y), y from the top.
  std::vector<int> colour(int x, int y) const {
    const size_t stride = (size * 3 + 3) & ~3;
    const BYTE* p = bytes.data() + sizeof(BITMAPINFOHEADER) + stride * row(y) + 3 * x;
    return {p[2], p[1], p[0]};
  }
  bool transparent(int x, int y) const {
    const size_t colour_bytes = ((size * 3 + 3) & ~3) * static_cast<size_t>(size);
    const size_t stride = (size + 31) / 32 * 4;
    const BYTE* mask = bytes.data() + sizeof(BITMAPINFOHEADER) + colour_bytes + stride * row(y);
    return (mask[x / 8] >> (7 - x % 8)) & 1;
  }
};

class LauncherResources : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    if (*GetParam() == 0) GTEST_SKIP() << "the shipped launcher's path was not given";
    module_ = LoadLibraryExW(fs::path(GetParam()).wstring().c_str(), nullptr,
                             LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << "cannot read " << GetParam() << ": " << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
};

// Resource enumeration callbacks are stdcall on 32-bit Windows, which lambdas are not.
BOOL CALLBACK add_type(HMODULE, LPWSTR type, LONG_PTR found) {
  // Named types would show as pointers, never as the small numbers the tests expect.
  reinterpret_cast<std::set<ULONG_PTR>*>(found)->insert(reinterpret_cast<ULONG_PTR>(type));
  return TRUE;
}

BOOL CALLBACK add_name(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
  auto* names = reinterpret_cast<std::vector<std::wstring>*>(found);
  names->push_back(IS_INTRESOURCE(name) ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name))
                                        : std::wstring(name));
  return TRUE;
}

TEST_P(LauncherResources, HoldOnlyTheIconAndTheManifest) {
  std::set<ULONG_PTR> types;
  EnumResourceTypesW(module_, add_type, reinterpret_cast<LONG_PTR>(&types));
  // Icons, the icon group and the manifest: no version block, strings or dialogs.
  EXPECT_EQ(types, (std::set<ULONG_PTR>{3, 14, 24}));
}

TEST_P(LauncherResources, FirstIconGroupIsMainIconWithThreeSizesAt24Bits) {
  std::vector<std::wstring> groups;
  EnumResourceNamesW(module_, RT_GROUP_ICON, add_name, reinterpret_cast<LONG_PTR>(&groups));
  ASSERT_EQ(groups, std::vector<std::wstring>{L"MAINICON"});

  const std::vector<BYTE> group = resource(module_, L"MAINICON", RT_GROUP_ICON);
  ASSERT_GE(group.size(), sizeof(GroupHeader));
  const auto& header = *reinterpret_cast<const GroupHeader*>(group.data());
  EXPECT_EQ(header.type, 1);  // icons, not cursors
  ASSERT_EQ(header.count, 3);
  ASSERT_EQ(group.size(), sizeof(GroupHeader) + 3 * sizeof(GroupEntry));
  const auto* entries = reinterpret_cast<const GroupEntry*>(group.data() + sizeof(GroupHeader));
  const int sizes[] = {48, 32, 16};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(sizes[i]);
    EXPECT_EQ(entries[i].width, sizes[i]);
    EXPECT_EQ(entries[i].height, sizes[i]);
    EXPECT_EQ(entries[i].bits, 24);
    EXPECT_EQ(entries[i].colours, 0);  // no palette
    const IconImage image{resource(module_, MAKEINTRESOURCEW(entries[i].id), RT_ICON), sizes[i]};
    ASSERT_EQ(image.bytes.size(), entries[i].bytes);
    EXPECT_EQ(image.header().biWidth, sizes[i]);
    EXPECT_EQ(image.header().biHeight, 2 * sizes[i]);  // colours and mask
    EXPECT_EQ(image.header().biBitCount, 24);
  }
}

TEST_P(LauncherResources, IconsShowAWhiteCloudOnARoundLightBlueDisc) {
  const std::vector<BYTE> group = resource(module_, L"MAINICON", RT_GROUP_ICON);
  ASSERT_EQ(group.size(), sizeof(GroupHeader) + 3 * sizeof(GroupEntry));
  const auto* entries = reinterpret_cast<const GroupEntry*>(group.data() + sizeof(GroupHeader));
  for (int i = 0; i < 3; ++i) {
    const int n = entries[i].width;
    SCOPED_TRACE(n);
    const IconImage image{resource(module_, MAKEINTRESOURCEW(entries[i].id), RT_ICON), n};
    // Round: the corners are see-through, the middle of each edge is not.
    for (int corner : {0, n - 1}) {
      EXPECT_TRUE(image.transparent(corner, 0));
      EXPECT_TRUE(image.transparent(corner, n - 1));
    }
    EXPECT_FALSE(image.transparent(n / 2, 1));
    EXPECT_FALSE(image.transparent(1, n / 2));
    // White in the middle of the cloud, light blue above it and beside it.
    EXPECT_EQ(image.colour(n / 2, n * 6 / 10), (std::vector<int>{255, 255, 255}));
    for (const auto& [x, y] : {std::pair{n / 2, n / 8}, std::pair{n / 8, n / 2}}) {
      const std::vector<int> blue = image.colour(x, y);
      EXPECT_GT(blue[2], 200);
      EXPECT_GT(blue[2], blue[0] + 60);
      EXPECT_GT(blue[1], blue[0]);
    }
  }
}

TEST_P(LauncherResources, TheManifestAsksOnlyToRunAsTheInvoker) {
  const std::vector<BYTE> manifest = resource(module_, MAKEINTRESOURCEW(1), RT_MANIFEST);
  const std::string text(manifest.begin(), manifest.end());
  EXPECT_EQ(text, cam::testing::read_file(LAUNCHER_MANIFEST));
  EXPECT_NE(text.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"),
            std::string::npos);
  for (const char* other : {"dependency", "dpiAware", "compatibility", "supportedOS"}) {
    EXPECT_EQ(text.find(other), std::string::npos) << other;
  }
}

INSTANTIATE_TEST_SUITE_P(Built, LauncherResources,
                         ::testing::Values(QUELVAR_PROGRAM, SHIPPED_QUELVAR_PROGRAM),
                         [](const auto& info) {
                           return info.index == 0 ? "ThisBuild" : "Shipped";
                         });

}  // namespace
