#pragma once
// What the plug-in layer calls of the engine.
#include "engine/block_processing.h"   // engine_process
#include "engine/engine_state.h"       // engine_init, engine_release, engine_transform_length
#include "engine/impulse_spectra.h"    // load_impulse
#include "engine/sample_conversion.h"  // pcm16_to_float, limit_to_pcm16
