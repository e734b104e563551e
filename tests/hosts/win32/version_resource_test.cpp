// The version block Windows shows in the program's properties and the installer uses: the
// project's version and the product's name, as built into the program's resources.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "driverpanel_version.h"

namespace {

std::vector<char> VersionBlock() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    DWORD ignored = 0;
    std::vector<char> block(GetFileVersionInfoSizeA(path, &ignored));
    if (block.empty() ||
        !GetFileVersionInfoA(path, 0, static_cast<DWORD>(block.size()), block.data())) {
        return {};
    }
    return block;
}

std::string Value(std::vector<char>& block, const std::string& name) {
    void* text = nullptr;
    UINT length = 0;
    const std::string key = "\\StringFileInfo\\040904B0\\" + name;
    if (!VerQueryValueA(block.data(), key.c_str(), &text, &length) || length == 0) {
        return "(missing)";
    }
    return static_cast<const char*>(text);
}

TEST(VersionResource, CarriesTheProjectVersionAndTheProductName) {
    std::vector<char> block = VersionBlock();
    ASSERT_FALSE(block.empty()) << "no version resource";

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwSignature, VS_FFI_SIGNATURE);
    EXPECT_EQ(fixed->dwFileVersionMS,
              static_cast<DWORD>(MAKELONG(DRIVERPANEL_VERSION_MINOR, DRIVERPANEL_VERSION_MAJOR)));
    EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(MAKELONG(0, DRIVERPANEL_VERSION_PATCH)));
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(fixed->dwProductVersionLS, fixed->dwFileVersionLS);

    struct Expected {
        const char* name;
        std::string value;
    };
    const Expected strings[] = {
        {"ProductName", DRIVERPANEL_PRODUCT_NAME}, {"FileDescription", DRIVERPANEL_PRODUCT_NAME},
        {"ProductVersion", kDriverPanelVersion},   {"FileVersion", kDriverPanelVersion},
        {"OriginalFilename", "DriverPanel.exe"},
    };
    for (const Expected& expected : strings) {
        EXPECT_EQ(Value(block, expected.name), expected.value) << expected.name;
    }
}

}  // namespace
