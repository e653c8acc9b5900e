// SPDX-License-Identifier: MIT
// The libvips module's one exported symbol.
#include "imaging/vips/module.h"

namespace
{

using namespace pictora::imaging;

#define PICTORA_VIPS_MODULE_ENTRY(name) &vips_module::name,
constexpr vips_module::Functions kFunctions { vips_module::kFunctionsVersion,
    PICTORA_VIPS_MODULE_FUNCTIONS(PICTORA_VIPS_MODULE_ENTRY) };
#undef PICTORA_VIPS_MODULE_ENTRY

} // namespace

extern "C" __attribute__((visibility("default"))) const pictora::imaging::vips_module::Functions *
pictora_vips_module_functions()
{
    return &kFunctions;
}
