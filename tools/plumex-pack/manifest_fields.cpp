#include "manifest_fields.h"

#include <cstdio>

namespace plumex::pack {
namespace {

using Json = nlohmann::ordered_json;

Json fontFields(const container::LogFontRecord& f) {
  return Json{{"height", f.height},         {"width", f.width},
              {"escapement", f.escapement}, {"orientation", f.orientation},
              {"weight", f.weight},         {"italic", f.italic},
              {"underline", f.underline},   {"strikeOut", f.strikeOut},
              {"charSet", f.charSet},       {"outPrecision", f.outPrecision},
              {"clipPrecision", f.clipPrecision}, {"quality", f.quality},
              {"pitchAndFamily", f.pitchAndFamily}, {"faceName", f.faceName}};
}

std::string colorText(const std::array<std::uint8_t, 4>& rgb) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", rgb[0], rgb[1], rgb[2]);
  return text;
}

std::string text(const std::optional<std::string>& t) { return t.value_or(std::string()); }

} // namespace

Json identityFields(const container::Identity& identity) {
  Json j{{"registryKey", identity.registryKey}};
  if (identity.profile) j["profile"] = *identity.profile;
  j["guid"] = container::formatGuid(identity.appId);
  return j;
}

Json settingsFields(const container::SettingsRecord& r) {
  Json j;
  j["version"] = Json{{"productName", text(r.productName)}, {"fileDescription", text(r.fileDescription)},
                      {"companyName", text(r.companyName)}, {"legalNotice", text(r.legalNotice)},
                      {"trademarks", text(r.trademarks)},   {"comments", text(r.comments)},
                      {"version", text(r.version)}};
  const auto& a = r.appearance;
  j["appearance"] = Json{{"windowShape", a.windowShape}, {"borderStyle", a.borderStyle},
                         {"borderIcons", a.borderIcons}, {"scaleMode", a.scaleMode},
                         {"maskName", a.maskName},       {"caption", a.caption}};
  const auto& p = r.sizeAndPos;
  j["sizeAndPos"] = Json{{"windowSize", p.windowSize}, {"customWidth", p.customWidth},
                         {"customHeight", p.customHeight}, {"pos", p.pos},
                         {"customLeft", p.customLeft},   {"customTop", p.customTop},
                         {"bKeepRatio", p.keepRatio != 0}};
  const auto& i = r.interaction;
  j["interaction"] = Json{{"lBtnClk", i.lBtnClk},
                          {"rBtnClk", i.rBtnClk},
                          {"keyPress", i.keyPress},
                          {"exitKeys", i.exitKeys},
                          {"bDisableAltTab", (i.restrictions & 0x1) != 0},
                          {"bDisableCursor", (i.restrictions & 0x10) != 0},
                          {"bDisableScr", (i.restrictions & 0x100) != 0},
                          {"hotKeyVk", i.hotKeyVk},
                          {"hotKeyModifiers", i.hotKeyModifiers}};
  j["behaviour"] = Json{{"contextMenu", r.behaviour.contextMenu}, {"flags", r.behaviour.flags}};
  j["misc"] = Json{{"flags", r.misc.flags},
                   {"backgroundColor", colorText(r.misc.backgroundColor)},
                   {"helpFile", r.misc.helpFile}};
  const auto& ab = r.about;
  j["about"] = Json{{"link1Caption", text(ab.link1Caption)}, {"link1Target", text(ab.link1Target)},
                    {"link2Caption", text(ab.link2Caption)}, {"link2Target", text(ab.link2Target)},
                    {"link1Color", ab.link1Color},           {"link2Color", ab.link2Color},
                    {"font1", fontFields(ab.font1)},         {"font2", fontFields(ab.font2)},
                    {"flags", ab.flags},                     {"aboutMovie", ab.aboutMovie},
                    {"picture", ab.picture}};
  return j;
}

Json movieFields(const container::MovieRecord& movie) {
  return Json{{"main", movie.mainMovie}, {"kind", movie.kind}, {"protect", movie.isProtected()}};
}

} // namespace plumex::pack
