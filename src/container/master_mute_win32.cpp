#include "container/master_mute_win32.h"

#include <windows.h>
#include <mmsystem.h>

namespace plumex::container {
namespace {

// The first mixer, open for as long as the object lives.
class Mixer {
public:
  Mixer() {
    if (mixerOpen(&mixer_, 0, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) mixer_ = nullptr;
  }
  ~Mixer() {
    if (mixer_) mixerClose(mixer_);
  }
  Mixer(const Mixer&) = delete;
  Mixer& operator=(const Mixer&) = delete;

  // The mute control of the speaker destination line.
  std::optional<DWORD> muteControl() const {
    if (!mixer_) return std::nullopt;
    MIXERLINEA line{};
    line.cbStruct = sizeof line;
    line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
    const auto handle = reinterpret_cast<HMIXEROBJ>(mixer_);
    if (mixerGetLineInfoA(handle, &line, MIXER_GETLINEINFOF_COMPONENTTYPE) != MMSYSERR_NOERROR)
      return std::nullopt;
    MIXERCONTROLA control{};
    MIXERLINECONTROLSA controls{};
    controls.cbStruct = sizeof controls;
    controls.dwLineID = line.dwLineID;
    controls.dwControlType = MIXERCONTROL_CONTROLTYPE_MUTE;
    controls.cControls = 1;
    controls.cbmxctrl = sizeof control;
    controls.pamxctrl = &control;
    if (mixerGetLineControlsA(handle, &controls, MIXER_GETLINECONTROLSF_ONEBYTYPE) != MMSYSERR_NOERROR)
      return std::nullopt;
    return control.dwControlID;
  }

  bool details(DWORD control, MIXERCONTROLDETAILS_BOOLEAN& value, bool set) const {
    MIXERCONTROLDETAILS d{};
    d.cbStruct = sizeof d;
    d.dwControlID = control;
    d.cChannels = 1;
    d.cbDetails = sizeof value;
    d.paDetails = &value;
    const auto handle = reinterpret_cast<HMIXEROBJ>(mixer_);
    const MMRESULT r = set ? mixerSetControlDetails(handle, &d, MIXER_SETCONTROLDETAILSF_VALUE)
                           : mixerGetControlDetailsA(handle, &d, MIXER_GETCONTROLDETAILSF_VALUE);
    return r == MMSYSERR_NOERROR;
  }

private:
  HMIXER mixer_ = nullptr;
};

} // namespace

std::optional<bool> MasterMute::read() {
  const Mixer mixer;
  const auto control = mixer.muteControl();
  MIXERCONTROLDETAILS_BOOLEAN value{};
  if (!control || !mixer.details(*control, value, false)) return std::nullopt;
  return value.fValue != 0;
}

bool MasterMute::write(bool muted) {
  const Mixer mixer;
  const auto control = mixer.muteControl();
  MIXERCONTROLDETAILS_BOOLEAN value{};
  value.fValue = muted ? 1 : 0;
  return control && mixer.details(*control, value, true);
}

void MasterMute::setOption(bool on) {
  if (on) {
    if (!original_) {
      const auto now = read();
      if (!now) return;
      original_ = *now;
    }
    write(true);
  } else {
    restore();
  }
}

void MasterMute::restore() {
  if (!original_) return;
  write(*original_);
  original_.reset();
}

} // namespace plumex::container
