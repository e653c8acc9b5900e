// SPDX-License-Identifier: MIT
// The general decoder module's one exported symbol.
#include "imaging/general.h"

namespace
{

using namespace pictora::imaging;

constexpr general::Functions kFunctions {
    general::kFunctionsVersion,
    &general::probe,
    &general::load,
    &general::loadResized,
    &general::loadFitted,
    &general::loadPlanesFitted,
    &general::checkLoads,
    &general::Resize,
    &general::ConvertColor,
    &general::Rotation,
    &general::Mosaic,
    &general::RemoveNoise,
    &general::Emboss,
    &general::SetGray,
    &general::RGBLevel,
    &general::Sepia,
    &general::initialise,
    &general::setThreadsPerOperation,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const pictora::imaging::general::Functions *
pictora_general_functions()
{
    return &kFunctions;
}
