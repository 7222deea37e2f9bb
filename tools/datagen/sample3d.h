// The 3D sample set: five tagged data files written beside the game's data but loaded by no
// game scene. This description is what the generator packs, so tests compare what the loader
// made with what was written.
//
//   mdl      a lit unit box "box"; "cbox" with vertex colours and three materials, the middle
//            one drawing no triangle; a normal-mapped box "nbox" (stored as "nbox_NRx"); the
//            textures "tile" and "nbox"; the collision mesh "floor"; the shape set "balls"; the
//            camera track "cam"
//   mdl_NRM  the normal texture "nbox_normal" of the normal-mapped box (its slot 1)
//   mo       hierarchy "By": two legs of three frames, siblings under the root; the skinned
//            model "By" (two bones per leg); motions "mime" and "mbody"
//   T        hierarchy "B1" with a three-link tail; the rigid model "B1"; the attachment model
//            "T"; motions "Tme" and "Tdy"; the collision mesh "CM_B1_body"
//   s1       hierarchy "stage_s" of world-space frames under an identity root; models
//            "post_1", "post_12", "lamp_01" and the floor "floor_1" (x and z -5..5, its top
//            face at y = 0, its frame last); collision meshes "stage_s" (the floor) and
//            "stage_wall" (x = 3, facing -x); motion "lamp_pad"
//
// Hierarchies are written as the packer writes them: a frame's matrix, its name, then each
// child between a push and a pop. A frame's world matrix is its rest matrix applied before its
// parent's world matrix (row vectors).
//
// Motion keys: track t holds one key per frame of its motion, f = 0 .. frames - 1. Key f is
// a rotation about the track's axis by f x step radians (the elementary rotations of the math
// library: about z, x turns towards y), with f x move as its translation row. The pose applies
// a key before the frame's rest matrix: posed local = key(f) x rest. A frame of the hierarchy
// with no track in the motion (see `untracked`) keeps its rest matrix. Motions carry no second
// block (its offset is 0).
//
// Meant for the walkers built on these files: "mo" and "T" give poses computable by hand (a
// leg turning about z by a fixed angle per frame, the root walking 0.25 along z per frame of
// "mime"), "leg_L_end" in the middle of the list has no track, the legs are siblings under
// "By", and "tail_1" to "tail_3" hang in a chain for the swinging chains; "s1" carries the
// stage set's frame names, its empty node and its markers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/packer/pack_collision.h"
#include "tools/packer/pack_frames.h"
#include "tools/packer/pack_model.h"

struct SampleFrame {
    std::string name;
    int parent; // index into the hierarchy's frames, -1 for the root
    PackMatrix rest;
};

// Frames in list order (depth first, a parent before its children); the first names the
// hierarchy.
struct SampleHierarchy {
    std::vector<SampleFrame> frames;
};

enum SampleAxis { SAMPLE_AXIS_X, SAMPLE_AXIS_Y, SAMPLE_AXIS_Z };

struct SampleTrack {
    std::string frame;
    SampleAxis axis;
    float step;    // radians per frame
    float move[3]; // translation per frame
};

struct SampleMotion {
    std::string name;
    uint32_t frames; // also each track's key count
    std::vector<SampleTrack> tracks;
    std::string untracked; // the frame of the motion's hierarchy that has no track, or ""
};

struct SampleModel {
    PackModel model;  // its name as written (a "_NRx" part included)
    std::string name; // as stored
};

struct SampleCollMesh {
    std::string name;
    std::vector<PackCollTriangle> triangles; // face words distinct within the mesh
    PackCollGrid grid; // one cell: every triangle is a cell triangle, counted by the queries
};

struct SampleShapeSet {
    std::string name;
    std::vector<PackSphere> spheres;
    float radius; // largest |centre| + radius, worked out by hand
};

struct SampleTexture {
    std::string file; // image name as written ("tile.png"); stored under its name part
    uint32_t argb;    // every pixel of the 2 x 2 image
};

struct SampleFile {
    std::string group; // file name without ".bin"
    std::vector<SampleTexture> textures;
    std::vector<SampleModel> models;
    std::vector<SampleHierarchy> hierarchies;
    std::vector<SampleMotion> motions;
    std::vector<SampleCollMesh> collmeshes;
    std::vector<SampleShapeSet> shape_sets;
    std::vector<PackCamera> cameras;
};

// The five files, "mdl_NRM" before "mdl" (the order the loader takes a group and its
// normal-map companion).
const std::vector<SampleFile> &datagen_3d_files(void);
// One file's bytes: textures, models, hierarchies, motions, collision meshes, shape sets and
// camera tracks, each kind in the order of the description.
bool datagen_3d_bytes(const SampleFile &file, std::vector<uint8_t> *out, std::string *error);
// Writes the five files into the folder (which must exist, with its trailing '/').
bool datagen_write_3d(const std::string &folder, std::string *error);
