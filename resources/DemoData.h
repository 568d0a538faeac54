// The built-in demo recording (a raw flywheel recording made by tools/demosynth at build time),
// kept as a Qt resource in the library kv_demodata.
#pragma once

// Resource type "BINARY", name "DEMODATA".
inline constexpr char kDemoDataResource[] = ":/BINARY/DEMODATA";

// Registers the resource; call once before opening kDemoDataResource (a static library's
// resources are not registered by themselves). Calling it again does no harm.
void InitDemoDataResource();
