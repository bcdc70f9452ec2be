#include "window/window_layout.h"

namespace {

constexpr COLORREF kFrameGrey = RGB(128, 128, 128);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr FontSpec kRegular{83, false};
constexpr FontSpec kBold{83, true};
constexpr FontSpec kWebsiteFont{120, true};

constexpr ControlSpec kControls[] = {
    // name, id, kind, parent, left, top, width, height, tab, caption, tool tip, background, text, font, artwork
    {"Image1", ControlId::Banner, ControlKind::Image, ControlId::None, 120, 120, 6060, 2190, -1, "", nullptr, kNoColour,
     kNoColour, kRegular, Artwork::Banner},
    {"fraFlatOutGameFolder", ControlId::GameFolderFrame, ControlKind::Frame, ControlId::None, 120, 2400, 6060, 1020, 0,
     "", nullptr, kFrameGrey, kNoColour, kRegular, Artwork::None},
    {"imgHeader(0)", ControlId::GameFolderHeader, ControlKind::Image, ControlId::GameFolderFrame, 0, 0, 6060, 300, -1,
     "", nullptr, kNoColour, kNoColour, kRegular, Artwork::Header},
    {"lblInfo1", ControlId::GameFolderPrompt, ControlKind::Label, ControlId::GameFolderFrame, 180, 360, 4920, 195, 1,
     IDS_GAME_FOLDER_PROMPT, nullptr, kFrameGrey, kWhite, kBold, Artwork::None},
    {"txtFlatOutGameFolder", ControlId::GameFolderBox, ControlKind::TextBox, ControlId::GameFolderFrame, 120, 600, 5295,
     285, 2, "", nullptr, kNoColour, kNoColour, kBold, Artwork::None},
    {"cmdFlatOutGameFolder", ControlId::GameFolderButton, ControlKind::PictureButton, ControlId::GameFolderFrame, 5520,
     600, 375, 315, 3, "", IDS_GAME_FOLDER_TIP, kRed, kNoColour, kRegular, Artwork::FolderButton},
    {"fraZEM7GameFolder", ControlId::TargetFolderFrame, ControlKind::Frame, ControlId::None, 120, 3480, 6060, 1020, 4,
     "", nullptr, kFrameGrey, kNoColour, kRegular, Artwork::None},
    {"imgHeader(1)", ControlId::TargetFolderHeader, ControlKind::Image, ControlId::TargetFolderFrame, 0, 0, 6060, 300,
     -1, "", nullptr, kNoColour, kNoColour, kRegular, Artwork::Header},
    {"lblInfo2", ControlId::TargetFolderPrompt, ControlKind::Label, ControlId::TargetFolderFrame, 180, 360, 5550, 195,
     5, IDS_TARGET_FOLDER_PROMPT, nullptr, kFrameGrey, kWhite, kBold, Artwork::None},
    {"txtZEM7GameFolder", ControlId::TargetFolderBox, ControlKind::TextBox, ControlId::TargetFolderFrame, 120, 600,
     5295, 285, 6, "", nullptr, kNoColour, kNoColour, kBold, Artwork::None},
    {"cmdZEM7GameFolder", ControlId::TargetFolderButton, ControlKind::PictureButton, ControlId::TargetFolderFrame, 5520,
     600, 375, 315, 7, "", IDS_TARGET_FOLDER_TIP, kRed, kNoColour, kRegular, Artwork::FolderButton},
    {"fraInstallMod", ControlId::InstallFrame, ControlKind::Frame, ControlId::None, 120, 4560, 6060, 915, 8, "",
     nullptr, kFrameGrey, kNoColour, kRegular, Artwork::None},
    {"imgHeader(2)", ControlId::InstallHeader, ControlKind::Image, ControlId::InstallFrame, 0, 0, 6060, 300, -1, "",
     nullptr, kNoColour, kNoColour, kRegular, Artwork::Header},
    {"cmdInstall", ControlId::InstallButton, ControlKind::Button, ControlId::InstallFrame, 120, 425, 5775, 375, 9,
     IDS_INSTALL_BUTTON, IDS_INSTALL_TIP, RGB(255, 255, 192), RGB(0, 0, 0), kBold, Artwork::None},
    {"fraProgress", ControlId::ProgressFrame, ControlKind::Frame, ControlId::None, 120, 5535, 6060, 2115, 10, "",
     nullptr, kFrameGrey, kNoColour, kRegular, Artwork::None},
    {"imgHeader(3)", ControlId::ProgressHeader, ControlKind::Image, ControlId::ProgressFrame, 0, 0, 6060, 300, -1, "",
     nullptr, kNoColour, kNoColour, kRegular, Artwork::Header},
    {"picProgress", ControlId::ProgressBar, ControlKind::ProgressBox, ControlId::ProgressFrame, 180, 360, 5715, 315, 11,
     "", nullptr, RGB(255, 255, 255), kBarColour, kRegular, Artwork::None},
    {"picPercent", ControlId::PercentBox, ControlKind::PictureBox, ControlId::ProgressBar, 2520, 30, 615, 195, 14, "",
     nullptr, kNoColour, kNoColour, kRegular, Artwork::None},
    {"lblPercent", ControlId::PercentLabel, ControlKind::Label, ControlId::PercentBox, 0, 0, 615, 255, 15, "0%",
     nullptr, kNoColour, kNoColour, kRegular, Artwork::None},
    {"txtProgress", ControlId::ProgressText, ControlKind::TextBox, ControlId::ProgressFrame, 180, 780, 5715, 1155, 12,
     "", nullptr, RGB(192, 255, 192), kNoColour, kRegular, Artwork::None},
    {"lblWebsite", ControlId::WebsiteLabel, ControlKind::Label, ControlId::None, 120, 7770, 6075, 375, 13, kWebsiteHost,
     IDS_WEBSITE_TIP, kRed, kWhite, kWebsiteFont, Artwork::None},
};

}  // namespace

std::span<const ControlSpec> MainWindowControls() { return kControls; }

int TwipsToPixels(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 15 * 96); }

const ControlSpec* FindControlSpec(ControlId id) {
  for (const ControlSpec& spec : kControls)
    if (spec.id == id) return &spec;
  return nullptr;
}
