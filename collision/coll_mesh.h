// Tests against one collision mesh: segments (through the node hierarchy, the cells and the
// large triangles), the downward ground test, and a sphere. A mesh is a validated
// CollisionMeshRecord; null gives no hit. A transform places the mesh in the world (null: mesh
// space is world space); a transform that cannot be inverted gives no hit. Results are 1 for a
// hit and 0 for none; outputs may each be null and are written only on a hit. The tests share
// static scratch and must not run concurrently.
#pragma once
#include <cstdint>

#include "math/math_types.h"
#include "resource/res_pools.h"

// The nearest hit of a segment: t along it, the world normal (unit), the face word, and for the
// extended form the triangle's corners and the box of the cell it was found in, in world space.
struct CollMeshHit {
    float t;
    Vec3 normal;
    uint32_t face;
    Vec3 corners[3];
    Vec3 box_centre, box_half;
};

// The segment start + t * delta against the mesh; `extended` also fills corners and cell box.
bool coll_mesh_segment(const CollisionMeshRecord *mesh, const Mat4 *transform, const Vec3 *start,
                       const Vec3 *delta, bool extended, CollMeshHit *hit);
// The segment from the point 10000 units straight down. An untransformed mesh (or one whose
// transform is the identity within 1e-5) reads only the grid column under the point; any other
// transform walks the hierarchy.
bool coll_mesh_ground(const CollisionMeshRecord *mesh, const Mat4 *transform, const Vec3 *point,
                      CollMeshHit *hit);

uint8_t coll_raycast_mesh(const CollisionMeshRecord *mesh, const Mat4 *transform, const Vec3 *start,
                          const Vec3 *delta, Vec3 *out_point, Vec3 *out_normal, uint32_t *out_face);
uint8_t coll_segment_mesh_t(const CollisionMeshRecord *mesh, const Mat4 *transform,
                            const Vec3 *start, const Vec3 *delta, float *out_t, Vec3 *out_normal,
                            uint32_t *out_face);
// On a hit also the slide point: the segment's end moved onto the plane of the triangle hit.
uint8_t coll_segment_slide_mesh(const CollisionMeshRecord *mesh, const Mat4 *transform,
                                const Vec3 *start, const Vec3 *delta, Vec3 *out_hit,
                                Vec3 *out_slide, Vec3 *out_normal, uint32_t *out_face);
// The triangle nearest the centre that the sphere touches: closest point (world space), depth,
// normal and face word. The radius is not scaled by the transform.
uint8_t coll_sphere_mesh(const CollisionMeshRecord *mesh, const Mat4 *transform, const Vec3 *centre,
                         float radius, Vec3 *out_closest, float *out_depth, Vec3 *out_normal,
                         uint32_t *out_face);
