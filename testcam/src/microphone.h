// The test microphone: an audio capture source whose one pin offers PCM.
// It exists so that audio device lists have something to list; it connects
// and delivers nothing.
#pragma once

#include <dshow.h>

namespace vlxcam {

HRESULT create_microphone(REFIID iid, void** object);

// Its class and its entry in CLSID_AudioInputDeviceCategory.
HRESULT register_microphone(IFilterMapper2* mapper);
void unregister_microphone(IFilterMapper2* mapper);

}  // namespace vlxcam
