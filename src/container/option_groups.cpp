#include "container/option_groups.h"

#include <limits>
#include <optional>
#include <span>
#include <string_view>

#include "binding/arguments.h"
#include "binding/class_binding.h"
#include "container/key_text.h"
#include "platform/ansi_text.h"
#include "script/values/factory.h"
#include "script/values/native_cell.h"
#include "script/values/string_record.h"

namespace plumex::container {
namespace {

using binding::Args;
using binding::Constant;
using binding::members;
using script::ArgBlock;
using script::Atom;
using script::ClassRecord;
using script::Engine;
using script::Kind;
using script::Value;

// Texts held in the record's fixed buffers keep at most this many bytes.
constexpr std::size_t kMaxText = kTextBuffer - 1;

OptionGroups& groupsOf(void* self) { return *static_cast<OptionGroups*>(self); }

std::optional<std::int64_t> integerOf(const Value& v) {
  if (!v.is(Kind::Integer)) return std::nullopt;
  return v.u.i;
}
std::optional<bool> booleanOf(const Value& v) {
  if (!v.is(Kind::Boolean)) return std::nullopt;
  return v.u.i32 != 0;
}
std::optional<std::string> textOf(const Value& v) {
  if (!v.is(Kind::String)) return std::nullopt;
  std::string text = utf16ToAnsi(v.asString()->view());
  if (text.size() > kMaxText) text.resize(kMaxText);
  return text;
}

void setFlag(std::uint32_t& flags, std::uint32_t bit, bool on) { flags = on ? flags | bit : flags & ~bit; }

// A group's property: reads fill io, a store of the wrong kind is ignored.
// Answers false for names that are not the group's.
using PropertyFn = bool (*)(Engine&, OptionGroups&, int member, bool set, Value& io);

template <PropertyFn F>
bool groupProperty(Engine& e, ClassRecord& cls, void* self, Atom atom, bool set, Value& io) {
  const int member = members(cls).find(atom);
  if (member < 0 || !self) return false;
  if (!set) io = Value::undefined();
  return F(e, groupsOf(self), member, set, io);
}

bool groupMethod(Engine& e, ClassRecord& cls, void*, Atom atom, Value& result, ArgBlock) {
  return binding::classObjectMethod(e, cls, atom, result);
}

// ---------------------------------------------------------------- Appearance

enum AppearanceMember { WindowShape, BorderStyle, BorderIcons, ScaleMode, Caption, Icon };
constexpr std::string_view kAppearanceMembers[] = {"windowShape", "borderStyle", "borderIcons",
                                                   "scaleMode",   "caption",     "icon"};
constexpr Constant kAppearanceConstants[] = {
    {"$WSRECTANGLE", 0},      {"$WSTRANSPARENT", 1},       {"$BSNONE", 1},
    {"$BSSINGLE", 16},        {"$BSRESIZABLE", 256},       {"$BSSMALLCAPTION", 4096},
    {"$BSHIDETASKBUTTON", 65536}, {"$BIMAXIMIZE", 1},      {"$BIMINIMIZE", 16},
    {"$BISYSTEMMENU", 256},   {"$BIHELP", 4096},           {"$SMSHOWALL", 1},
    {"$SMNOBORDER", 2},       {"$SMNORMAL", 16},           {"$SMSTRETCHFIT", 256}};

// A shape kind of 2 names its mask.
constexpr std::uint32_t kShapeMask = 2;

bool appearance(Engine& e, OptionGroups& g, int member, bool set, Value& io) {
  SettingsRecord::Appearance& a = g.record->appearance;
  OptionGroupHost* host = g.host;
  switch (member) {
    case WindowShape:
      if (!set) {
        io = a.windowShape == kShapeMask ? script::makeString(e, a.maskName)
                                         : Value::integer(a.windowShape);
      } else if (const auto n = integerOf(io)) {
        a.windowShape = static_cast<std::uint32_t>(*n);
        if (host) host->applyShape();
      } else if (auto name = textOf(io)) {
        a.windowShape = kShapeMask;
        a.maskName = std::move(*name);
        if (host) host->applyShape();
      }
      return true;
    case BorderStyle:
    case BorderIcons: {
      std::uint32_t& field = member == BorderStyle ? a.borderStyle : a.borderIcons;
      if (!set) {
        io = Value::integer(field);
      } else if (const auto n = integerOf(io)) {
        field = static_cast<std::uint32_t>(*n);
        if (host) host->applyStyles();
      }
      return true;
    }
    case ScaleMode:
      if (!set) {
        io = Value::integer(a.scaleMode);
      } else if (const auto n = integerOf(io)) {
        a.scaleMode = static_cast<std::uint32_t>(*n);
        if (host) host->applyScaleMode();
      }
      return true;
    case Caption:
      if (!set) {
        io = script::makeString(e, a.caption);
      } else if (auto text = textOf(io)) {
        a.caption = std::move(*text);
        if (host) host->applyCaption();
      }
      return true;
    case Icon:
      if (set && host) {
        if (const auto path = textOf(io)) host->setIcon(*path);
      }
      return true;
  }
  return false;
}

// --------------------------------------------------------------- Interaction

enum InteractionMember { LBtnClk, RBtnClk, KeyPress, ExitKeys, HotKeyText, DisableAltTab, DisableCursor, DisableScr };
constexpr std::string_view kInteractionMembers[] = {"lBtnClk",  "rBtnClk",        "keyPress",
                                                    "exitKeys", "hotKey",         "bDisableAltTab",
                                                    "bDisableCursor", "bDisableScr"};
constexpr Constant kInteractionConstants[] = {
    {"$LBSEND", 0}, {"$LBDRAG", 1},   {"$LBIGNORE", 2},  {"$RBSEND", 0},
    {"$RBCONTEXTMENU", 1}, {"$RBIGNORE", 2}, {"$KPSEND", 1}, {"$KPIGNORE", 16},
    {"$KPDISABLEWINDOWKEYS", 256}, {"$EKESC", 1}, {"$EKHOTKEY", 16}};

bool interaction(Engine& e, OptionGroups& g, int member, bool set, Value& io) {
  SettingsRecord::Interaction& in = g.record->interaction;
  switch (member) {
    case LBtnClk:
    case RBtnClk:
    case KeyPress:
    case ExitKeys: {
      std::uint32_t* const fields[] = {&in.lBtnClk, &in.rBtnClk, &in.keyPress, &in.exitKeys};
      std::uint32_t& field = *fields[member];
      if (!set) {
        io = Value::integer(field);
      } else if (const auto n = integerOf(io)) {
        field = static_cast<std::uint32_t>(*n);
      }
      return true;
    }
    case HotKeyText:
      if (!set) {
        const HotKey key{in.hotKeyVk, in.hotKeyModifiers};
        io = script::makeString(
            e, g.host ? formatKeyText(key, [&](std::uint16_t vk, bool ext) { return g.host->keyName(vk, ext); })
                      : formatKeyText(key));
      } else if (const auto text = textOf(io)) {
        const HotKey key = hotKeyFromOptionText(*text);
        in.hotKeyVk = key.vk;
        in.hotKeyModifiers = key.modifiers;
      }
      return true;
    case DisableAltTab:
    case DisableCursor:
    case DisableScr: {
      const std::uint32_t bit = member == DisableAltTab ? 0x1 : member == DisableCursor ? 0x10 : 0x100;
      if (!set) {
        io = Value::boolean((in.restrictions & bit) != 0);
      } else if (const auto on = booleanOf(io)) {
        const std::uint32_t previous = in.restrictions;
        setFlag(in.restrictions, bit, *on);
        if (g.host) g.host->changeRestrictions(previous);
      }
      return true;
    }
  }
  return false;
}

// ----------------------------------------------------------------- Behaviour

enum BehaviourMember { AllowExtend, ExtendContextMenu, AutoPlay, StartMinimized, AlwaysOnTop, ShowInTray };
constexpr std::string_view kBehaviourMembers[] = {"bAllowExtendContextMenu", "extendContextMenu",
                                                  "bAutoPlay", "bStartMinimized", "bAlwaysOnTop",
                                                  "bShowInSystemTray"};
constexpr Constant kBehaviourConstants[] = {
    {"$CMCONFIGURE", 1}, {"$CMFLASHPLAY", 16}, {"$CMABOUT", 256}, {"$CMHELP", 4096}};

constexpr std::uint32_t kNoExtend = 0x2, kMenuItems = 0x1111;
constexpr std::uint32_t kAutoPlay = 0x1, kTrayAppIcon = 0x2, kStartMinimized = 0x10,
                        kAlwaysOnTop = 0x100, kShowInTray = 0x1000;

bool behaviour(Engine&, OptionGroups& g, int member, bool set, Value& io) {
  SettingsRecord::Behaviour& b = g.record->behaviour;
  OptionGroupHost* host = g.host;
  switch (member) {
    case AllowExtend:
      if (!set) {
        io = Value::boolean((b.contextMenu & kNoExtend) == 0);
      } else if (const auto on = booleanOf(io)) {
        setFlag(b.contextMenu, kNoExtend, !*on);
        if (host) host->rebuildContextMenu();
      }
      return true;
    case ExtendContextMenu:
      if (!set) {
        io = Value::integer(b.contextMenu & kMenuItems);
      } else if (const auto n = integerOf(io)) {
        // Items are only ever added this way.
        b.contextMenu |= static_cast<std::uint32_t>(*n) & kMenuItems;
        if (host) host->rebuildContextMenu();
      }
      return true;
    case AutoPlay:
    case StartMinimized:
    case AlwaysOnTop: {
      const std::uint32_t bit = member == AutoPlay ? kAutoPlay : member == StartMinimized ? kStartMinimized : kAlwaysOnTop;
      if (!set) {
        io = Value::boolean((b.flags & bit) != 0);
      } else if (const auto on = booleanOf(io)) {
        setFlag(b.flags, bit, *on);
        if (host && member != AutoPlay) host->applyTopmostAndMinimized();
      }
      return true;
    }
    case ShowInTray:
      if (!set) {
        io = Value::boolean((b.flags & kShowInTray) != 0);
      } else if (const auto on = booleanOf(io)) {
        if (*on) b.flags |= kShowInTray | kTrayAppIcon;
        else b.flags &= ~kShowInTray;
        if (host) host->showTrayIcon(*on);
      }
      return true;
  }
  return false;
}

// ---------------------------------------------------------------- SizeAndPos

enum SizeAndPosMember { WindowSize, Pos, KeepRatio, SetCustomSize, SetCustomPos, SetCustomSizeAndPos };
constexpr std::string_view kSizeAndPosMembers[] = {"windowSize",    "pos",          "bKeepRatio",
                                                   "setCustomSize", "setCustomPos", "setCustomSizeAndPos"};
constexpr Constant kSizeAndPosConstants[] = {
    {"$SSDEFAULT", 0},      {"$SSFULLSCREEN", 1},   {"$SSMAXIMIZED", 2},   {"$SSCUSTOMIZED", 3},
    {"$SSPERCENT", 4},      {"$ASTOPLEFT", 0},      {"$ASTOPCENTER", 1},   {"$ASTOPRIGHT", 2},
    {"$ASCENTERLEFT", 3},   {"$ASSCREENCENTER", 4}, {"$ASCENTERRIGHT", 5}, {"$ASBOTTOMLEFT", 6},
    {"$ASBOTTOMCENTER", 7}, {"$ASBOTTOMRIGHT", 8}};

constexpr std::uint32_t kCustomSize = 3, kCustomPos = 9;

bool sizeAndPos(Engine&, OptionGroups& g, int member, bool set, Value& io) {
  SettingsRecord::SizeAndPos& s = g.record->sizeAndPos;
  switch (member) {
    case WindowSize:
    case Pos: {
      std::uint32_t& field = member == WindowSize ? s.windowSize : s.pos;
      if (!set) {
        io = Value::integer(field);
      } else if (const auto n = integerOf(io)) {
        field = static_cast<std::uint32_t>(*n);
        if (g.host) g.host->applySizeAndPosition();
      }
      return true;
    }
    case KeepRatio:
      if (!set) {
        io = Value::boolean(s.keepRatio != 0);
      } else if (const auto on = booleanOf(io)) {
        s.keepRatio = *on ? 1 : 0;
      }
      return true;
    default:
      return false;  // the methods
  }
}

// The 16-bit fields take 0 to 65535: a larger value would be stored cut
// down to another size, so the call changes nothing.
std::optional<std::uint16_t> field16(const Args& args, std::size_t i) {
  const auto n = args.integer(i);
  if (!n || *n < 0 || *n > std::numeric_limits<std::uint16_t>::max()) return std::nullopt;
  return static_cast<std::uint16_t>(*n);
}

bool sizeAndPosMethod(Engine& e, ClassRecord& cls, void* self, Atom atom, Value& result, ArgBlock block) {
  const int member = members(cls).find(atom);
  if (!self || member < SetCustomSize) return binding::classObjectMethod(e, cls, atom, result);
  OptionGroups& g = groupsOf(self);
  SettingsRecord::SizeAndPos& s = g.record->sizeAndPos;
  const Args args(block);
  result = Value::undefined();
  const std::size_t needed = member == SetCustomSizeAndPos ? 4 : 2;
  if (args.size() < needed) return true;
  std::optional<std::uint16_t> v[4];
  for (std::size_t i = 0; i < needed; ++i) {
    v[i] = field16(args, i);
    if (!v[i]) return true;
  }
  if (member == SetCustomSize) {
    s.windowSize = kCustomSize;
    s.customWidth = *v[0];
    s.customHeight = *v[1];
  } else {
    s.pos = kCustomPos;
    s.customLeft = *v[0];
    s.customTop = *v[1];
    if (member == SetCustomSizeAndPos) {
      s.windowSize = kCustomSize;
      s.customWidth = *v[2];
      s.customHeight = *v[3];
    }
  }
  if (g.host) g.host->applySizeAndPosition();
  return true;
}

struct Group {
  std::string_view global;
  std::string_view text;
  std::span<const std::string_view> members;
  std::span<const Constant> constants;
  script::PropertyHook property;
  script::MethodHook method;
};

// The global holds an object of the group's class whose instance is the
// groups record, so that every hook reaches the record and the window.
void registerGroup(Engine& e, OptionGroups& groups, const Group& g) {
  ClassRecord& cls = binding::registerClass(e, {.name = g.global,
                                                .members = g.members,
                                                .method = g.method,
                                                .property = g.property,
                                                .constants = g.constants,
                                                .objectText = g.text});
  e.global(e.internAnsi(g.global)) = script::newNative(e, &cls, &groups);
}

} // namespace

void registerOptionGroups(Engine& engine, OptionGroups& groups) {
  const Group all[] = {
      {"_Appearance_", "[object Appearance]", kAppearanceMembers, kAppearanceConstants,
       groupProperty<appearance>, groupMethod},
      {"_Interaction_", "[object Interaction]", kInteractionMembers, kInteractionConstants,
       groupProperty<interaction>, groupMethod},
      {"_Behaviour_", "[object Behaviour]", kBehaviourMembers, kBehaviourConstants,
       groupProperty<behaviour>, groupMethod},
      {"_SizeAndPos_", "[object SizeAndPos]", kSizeAndPosMembers, kSizeAndPosConstants,
       groupProperty<sizeAndPos>, sizeAndPosMethod},
  };
  for (const Group& g : all) registerGroup(engine, groups, g);
}

} // namespace plumex::container
