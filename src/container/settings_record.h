#pragma once
// The settings record: every presentation and behaviour choice of a packaged
// application, and its stored form (the "ST" resource and the "Options"
// registry value), field by field in a fixed order.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "container/records.h"

namespace plumex::container {

// Texts held in fixed buffers of this many bytes keep at most one less.
constexpr std::size_t kTextBuffer = 260;
constexpr std::size_t kFaceNameBuffer = 32;

struct LogFontRecord {
  std::int32_t height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
  std::uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
  std::uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
  std::string faceName;
};

struct SettingsRecord {
  // Version texts, shown by the about box.
  std::optional<std::string> productName, fileDescription, companyName, legalNotice, trademarks,
      comments, version;

  struct Appearance {
    std::uint32_t windowShape = 0, borderStyle = 0, borderIcons = 0, scaleMode = 0;
    std::string maskName, caption;
  } appearance;

  struct SizeAndPos {
    std::uint32_t windowSize = 0;
    std::uint16_t customWidth = 0, customHeight = 0;
    std::uint32_t pos = 0;
    std::uint16_t customLeft = 0, customTop = 0;
    std::uint32_t keepRatio = 0;
  } sizeAndPos;

  struct Interaction {
    std::uint32_t lBtnClk = 0, rBtnClk = 0, keyPress = 0, exitKeys = 0, restrictions = 0;
    std::uint16_t hotKeyVk = 0, hotKeyModifiers = 0;
  } interaction;

  struct Behaviour {
    std::uint32_t contextMenu = 0, flags = 0;
  } behaviour;

  struct Miscellaneous {
    std::uint32_t flags = 0;
    std::array<std::uint8_t, 4> backgroundColor{}; // red, green, blue, ignored
    std::string helpFile;
  } misc;

  struct About {
    std::optional<std::string> link1Caption, link1Target, link2Caption, link2Target;
    std::uint32_t link1Color = 0, link2Color = 0;
    LogFontRecord font1, font2;
    std::uint32_t flags = 0, unused = 0;
    std::string aboutMovie, picture;
  } about;

  // Kept for the packager; the runtime reads, stores and never uses it.
  struct PackagerGroup {
    std::uint32_t a = 0;
    std::optional<std::string> text;
    std::uint32_t b = 0;
    std::array<std::uint8_t, 16> systemTime{};
    std::uint32_t c = 0;
    std::string buffer;
    std::uint16_t d = 0, e = 0;
  } packager;
};

// Throws FormatError when the data ends early.
SettingsRecord readSettings(std::span<const std::uint8_t> data, TextDecoder decode = ansiDecoder);
std::vector<std::uint8_t> writeSettings(const SettingsRecord& record,
                                        TextEncoder encode = ansiEncoder);

} // namespace plumex::container
