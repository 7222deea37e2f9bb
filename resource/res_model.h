// Model records: creation from a mesh description, texture linking after a load batch, and
// release.
#pragma once
#include <cstdint>

#include "render/gfx_mesh.h"
#include "resource/res_handle.h"

// Makes a model from a description whose `materials` are `material_count` ModelMaterial
// entries (slot 0: group and texture name, both copied here). Flags bit 0: normal maps (slot 1
// in group + "_NRM", name + "_normal"); with bit 1 also specular maps (slot 2). Material
// texture names and bone names are stored in the pool's buffers. An existing (group, name)
// gives its handle; a full pool, a layout with no vertex declaration or a mesh that cannot be
// built gives 0.
ResourceHandle res_create_model(const char *group, const char *name, const MeshDescription *desc,
                                uint32_t flags);
