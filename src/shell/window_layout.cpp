#include "shell/window_layout.h"

namespace {

constexpr COLORREF kFrameGrey = RGB(128, 128, 128);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr FontSpec kRegular{83, false};
constexpr FontSpec kBold{83, true};
constexpr FontSpec kWebsiteFont{120, true};

constexpr ControlSpec kControls[] = {
    // name, id, kind, parent, left, top, width, height, tab, caption, tool tip, background, text, font, artwork
    {"Image1", IDI_Image1, ControlKind::Image, 0, 120, 120, 6060, 2190, -1, "", nullptr, kNoColour, kNoColour,
     kRegular, Artwork::Banner},
    {"fraFlatOutGameFolder", IDF_fraFlatOutGameFolder, ControlKind::Frame, 0, 120, 2400, 6060, 1020, 0, "", nullptr,
     kFrameGrey, kNoColour, kRegular, Artwork::None},
    {"imgHeader(0)", IDI_imgHeader0, ControlKind::Image, IDF_fraFlatOutGameFolder, 0, 0, 6060, 300, -1, "", nullptr,
     kNoColour, kNoColour, kRegular, Artwork::Header},
    {"lblInfo1", IDT_lblInfo1, ControlKind::Label, IDF_fraFlatOutGameFolder, 180, 360, 4920, 195, 1,
     "(1). Please select the location of your FlatOut game folder:", nullptr, kFrameGrey, kWhite, kBold,
     Artwork::None},
    {"txtFlatOutGameFolder", IDE_txtFlatOutGameFolder, ControlKind::TextBox, IDF_fraFlatOutGameFolder, 120, 600,
     5295, 285, 2, "", nullptr, kNoColour, kNoColour, kBold, Artwork::None},
    {"cmdFlatOutGameFolder", IDB_cmdFlatOutGameFolder, ControlKind::PictureButton, IDF_fraFlatOutGameFolder, 5520,
     600, 375, 315, 3, "", "Click to select the FlatOut Game Folder location", kRed, kNoColour, kRegular,
     Artwork::FolderButton},
    {"fraZEM7GameFolder", IDF_fraZEM7GameFolder, ControlKind::Frame, 0, 120, 3480, 6060, 1020, 4, "", nullptr,
     kFrameGrey, kNoColour, kRegular, Artwork::None},
    {"imgHeader(1)", IDI_imgHeader1, ControlKind::Image, IDF_fraZEM7GameFolder, 0, 0, 6060, 300, -1, "", nullptr,
     kNoColour, kNoColour, kRegular, Artwork::Header},
    {"lblInfo2", IDT_lblInfo2, ControlKind::Label, IDF_fraZEM7GameFolder, 180, 360, 5550, 195, 5,
     "(2). Please select/type the location to install the ZEM7 Game Mod:", nullptr, kFrameGrey, kWhite, kBold,
     Artwork::None},
    {"txtZEM7GameFolder", IDE_txtZEM7GameFolder, ControlKind::TextBox, IDF_fraZEM7GameFolder, 120, 600, 5295, 285, 6,
     "", nullptr, kNoColour, kNoColour, kBold, Artwork::None},
    {"cmdZEM7GameFolder", IDB_cmdZEM7GameFolder, ControlKind::PictureButton, IDF_fraZEM7GameFolder, 5520, 600, 375,
     315, 7, "", "Click to select or create the ZEM7 Game Folder location", kRed, kNoColour, kRegular,
     Artwork::FolderButton},
    {"fraInstallMod", IDF_fraInstallMod, ControlKind::Frame, 0, 120, 4560, 6060, 915, 8, "", nullptr, kFrameGrey,
     kNoColour, kRegular, Artwork::None},
    {"imgHeader(2)", IDI_imgHeader2, ControlKind::Image, IDF_fraInstallMod, 0, 0, 6060, 300, -1, "", nullptr,
     kNoColour, kNoColour, kRegular, Artwork::Header},
    {"cmdInstall", IDB_cmdInstall, ControlKind::Button, IDF_fraInstallMod, 120, 425, 5775, 375, 9,
     "(3). Click to start the installation of the ZEM7 &Mod", "Click to start the installation of the ZEM7 Mod",
     RGB(255, 255, 192), RGB(0, 0, 0), kBold, Artwork::None},
    {"fraProgress", IDF_fraProgress, ControlKind::Frame, 0, 120, 5535, 6060, 2115, 10, "", nullptr, kFrameGrey,
     kNoColour, kRegular, Artwork::None},
    {"imgHeader(3)", IDI_imgHeader3, ControlKind::Image, IDF_fraProgress, 0, 0, 6060, 300, -1, "", nullptr, kNoColour,
     kNoColour, kRegular, Artwork::Header},
    {"picProgress", IDP_picProgress, ControlKind::ProgressBox, IDF_fraProgress, 180, 360, 5715, 315, 11, "", nullptr,
     RGB(255, 255, 255), kBarColour, kRegular, Artwork::None},
    {"picPercent", IDP_picPercent, ControlKind::PictureBox, IDP_picProgress, 2520, 30, 615, 195, 14, "", nullptr,
     kNoColour, kNoColour, kRegular, Artwork::None},
    {"lblPercent", IDT_lblPercent, ControlKind::Label, IDP_picPercent, 0, 0, 615, 255, 15, "0%", nullptr, kNoColour,
     kNoColour, kRegular, Artwork::None},
    {"txtProgress", IDE_txtProgress, ControlKind::TextBox, IDF_fraProgress, 180, 780, 5715, 1155, 12, "", nullptr,
     RGB(192, 255, 192), kNoColour, kRegular, Artwork::None},
    {"lblWebsite", IDT_lblWebsite, ControlKind::Label, 0, 120, 7770, 6075, 375, 13, kWebsiteHost,
     "Click to visit the Torvale website", kRed, kWhite, kWebsiteFont, Artwork::None},
};

}  // namespace

std::span<const ControlSpec> MainWindowControls() { return kControls; }

int TwipsToPixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 15 * 96); }
