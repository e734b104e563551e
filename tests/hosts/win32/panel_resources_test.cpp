// The compiled resources the program runs with: the panel's dialog template, read back from the
// binary in the Chinese (PRC) language block, the icon's images and the manifest.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "resources/panel_template.h"
#include "resources/resource.h"
#include "tests/hosts/win32/template_controls.h"

namespace {

const WORD kPanelLanguage = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

std::vector<std::uint8_t> Resource(LPCSTR type, LPCSTR name, WORD language) {
    HRSRC found = FindResourceExA(nullptr, type, name, language);
    if (found == nullptr) {
        return {};
    }
    const auto* bytes =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, found)));
    return {bytes, bytes + SizeofResource(nullptr, found)};
}

std::string Utf8(const std::u16string& text) {
    std::string utf8(text.size() * 3, '\0');
    int bytes = WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<LPCWCH>(text.data()),
                                    static_cast<int>(text.size()), utf8.data(),
                                    static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(static_cast<std::size_t>(bytes));
    return utf8;
}

// Reads a DLGTEMPLATEEX: fixed fields, then UTF-16 strings or ordinals, items DWORD-aligned.
class TemplateReader {
  public:
    explicit TemplateReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    template <class T>
    T Read() {
        T value{};
        if (at_ + sizeof(T) <= bytes_.size()) {
            std::memcpy(&value, bytes_.data() + at_, sizeof(T));
        }
        at_ += sizeof(T);
        return value;
    }

    std::u16string String() {
        std::u16string text;
        for (char16_t c = Read<char16_t>(); c != 0 && at_ <= bytes_.size(); c = Read<char16_t>()) {
            text += c;
        }
        return text;
    }

    // A class or text given either as a string or as an ordinal (predefined classes).
    std::string StringOrOrdinal() {
        if (Peek() != 0xFFFF) {
            return Utf8(String());
        }
        Read<WORD>();
        switch (Read<WORD>()) {
            case 0x0080:
                return "Button";
            case 0x0081:
                return "Edit";
            case 0x0082:
                return "Static";
            case 0x0085:
                return "ComboBox";
            default:
                return "#ordinal";
        }
    }

    void AlignToDword() { at_ = (at_ + 3) & ~std::size_t{3}; }
    bool Overran() const { return at_ > bytes_.size(); }

  private:
    WORD Peek() const {
        WORD value = 0;
        if (at_ + sizeof(WORD) <= bytes_.size()) {
            std::memcpy(&value, bytes_.data() + at_, sizeof(WORD));
        }
        return value;
    }

    const std::vector<std::uint8_t>& bytes_;
    std::size_t at_ = 0;
};

struct DialogItem {
    DWORD exStyle;
    DWORD style;
    short x, y, width, height;
    int id;
    std::string className;
    std::string text;
};

struct Dialog {
    DWORD exStyle = 0;
    DWORD style = 0;
    short x = 0, y = 0, width = 0, height = 0;
    std::string caption;
    WORD fontPoints = 0;
    std::string fontFace;
    std::vector<DialogItem> items;
};

Dialog ReadDialog(const std::vector<std::uint8_t>& bytes) {
    TemplateReader reader(bytes);
    Dialog dialog;
    EXPECT_EQ(reader.Read<WORD>(), 1) << "DIALOGEX version";
    EXPECT_EQ(reader.Read<WORD>(), 0xFFFF) << "DIALOGEX signature";
    reader.Read<DWORD>();  // help id
    dialog.exStyle = reader.Read<DWORD>();
    dialog.style = reader.Read<DWORD>();
    WORD count = reader.Read<WORD>();
    dialog.x = reader.Read<short>();
    dialog.y = reader.Read<short>();
    dialog.width = reader.Read<short>();
    dialog.height = reader.Read<short>();
    EXPECT_EQ(reader.StringOrOrdinal(), "") << "no menu";
    EXPECT_EQ(reader.StringOrOrdinal(), "") << "the standard dialog class";
    dialog.caption = Utf8(reader.String());
    if (dialog.style & DS_SETFONT) {
        dialog.fontPoints = reader.Read<WORD>();
        reader.Read<WORD>();  // weight
        reader.Read<BYTE>();  // italic
        reader.Read<BYTE>();  // character set
        dialog.fontFace = Utf8(reader.String());
    }
    for (WORD i = 0; i < count && !reader.Overran(); ++i) {
        reader.AlignToDword();
        DialogItem item{};
        reader.Read<DWORD>();  // help id
        item.exStyle = reader.Read<DWORD>();
        item.style = reader.Read<DWORD>();
        item.x = reader.Read<short>();
        item.y = reader.Read<short>();
        item.width = reader.Read<short>();
        item.height = reader.Read<short>();
        item.id = static_cast<int>(reader.Read<DWORD>());
        item.className = reader.StringOrOrdinal();
        item.text = reader.StringOrOrdinal();
        WORD extra = reader.Read<WORD>();
        for (WORD skip = 0; skip < extra; ++skip) {
            reader.Read<BYTE>();
        }
        dialog.items.push_back(item);
    }
    EXPECT_FALSE(reader.Overran()) << "template shorter than its item count";
    return dialog;
}

TEST(PanelResources, DialogTemplateIsTheOneDescribed) {
    std::vector<std::uint8_t> bytes =
        Resource(RT_DIALOG, MAKEINTRESOURCEA(IDD_PANEL_DIALOG), kPanelLanguage);
    ASSERT_FALSE(bytes.empty()) << "no dialog 102 in the Chinese (PRC) language block";
    Dialog dialog = ReadDialog(bytes);

    EXPECT_EQ(dialog.style, static_cast<DWORD>(DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_VISIBLE |
                                               WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(dialog.exStyle, static_cast<DWORD>(WS_EX_APPWINDOW));
    EXPECT_EQ(dialog.x, PANEL_X);
    EXPECT_EQ(dialog.y, PANEL_Y);
    EXPECT_EQ(dialog.width, PANEL_WIDTH);
    EXPECT_EQ(dialog.height, PANEL_HEIGHT);
    EXPECT_EQ(dialog.caption, PANEL_CAPTION);
    EXPECT_EQ(dialog.fontPoints, PANEL_FONT_POINTS);
    EXPECT_EQ(dialog.fontFace, PANEL_FONT_FACE);

    ASSERT_EQ(dialog.items.size(), std::size(kTemplateControls));
    for (std::size_t i = 0; i < dialog.items.size(); ++i) {
        const DialogItem& item = dialog.items[i];
        const TemplateControl& expected = kTemplateControls[i];
        SCOPED_TRACE(std::string("control ") + std::to_string(i) + " " + expected.text);
        EXPECT_EQ(item.text, expected.text);
        EXPECT_EQ(static_cast<short>(item.id), expected.id);
        EXPECT_EQ(lstrcmpiA(item.className.c_str(), expected.className), 0) << item.className;
        EXPECT_EQ(item.style, expected.style) << std::hex << item.style;
        EXPECT_EQ(item.exStyle, 0u);
        EXPECT_EQ(item.x, expected.x);
        EXPECT_EQ(item.y, expected.y);
        EXPECT_EQ(item.width, expected.width);
        EXPECT_EQ(item.height, expected.height);
    }
}

TEST(PanelResources, IconHasTheThreeImages) {
#pragma pack(push, 2)
    struct GroupIconEntry {
        BYTE width, height, colourCount, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    std::vector<std::uint8_t> group =
        Resource(RT_GROUP_ICON, MAKEINTRESOURCEA(IDR_MAINFRAME), kPanelLanguage);
    ASSERT_GE(group.size(), 6u) << "no icon 128";
    WORD count = 0;
    std::memcpy(&count, group.data() + 4, sizeof(count));
    ASSERT_EQ(group.size(), 6 + count * sizeof(GroupIconEntry));
    std::vector<std::pair<int, int>> images;  // size, bits per pixel
    for (WORD i = 0; i < count; ++i) {
        GroupIconEntry entry;
        std::memcpy(&entry, group.data() + 6 + i * sizeof(entry), sizeof(entry));
        EXPECT_EQ(entry.width, entry.height);
        images.emplace_back(entry.width, entry.bitCount);
    }
    EXPECT_EQ(images, (std::vector<std::pair<int, int>>{{32, 4}, {16, 4}, {48, 8}}));
}

TEST(PanelResources, ManifestAsksForCommonControls6AndPerMonitorDpi) {
    std::vector<std::uint8_t> manifest = Resource(RT_MANIFEST, MAKEINTRESOURCEA(1), kPanelLanguage);
    std::string text(manifest.begin(), manifest.end());
    EXPECT_NE(text.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(text.find("version=\"6.0.0.0\""), std::string::npos);
    EXPECT_NE(text.find("PerMonitorV2"), std::string::npos);
}

}  // namespace
