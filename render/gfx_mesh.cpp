#include "render/gfx_mesh.h"

#include <cstring>

void gfx_release_mesh_buffers(MeshBuffers *mesh) {
    if (!mesh) return;
    if (mesh->vertex_buffer) gpu_vertex_buffer_release(mesh->vertex_buffer);
    if (mesh->index_buffer) gpu_index_buffer_release(mesh->index_buffer);
    memset(mesh, 0, sizeof(*mesh));
}
