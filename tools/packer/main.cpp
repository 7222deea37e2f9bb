// tavok_pack: writes a tagged data file from image files, crop lists, text lists of the 3D
// kinds and raw bodies.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tools/packer/pack_collision.h"
#include "tools/packer/pack_lists.h"
#include "tools/packer/packer.h"

static void usage(FILE *out) {
    std::fputs(
        "usage: tavok_pack -o OUTPUT.bin CHUNK...\n"
        "\n"
        "Writes a tagged data file: one chunk per CHUNK argument, in order.\n"
        "\n"
        "chunks:\n"
        "  --texture IMAGE          \"TTTT\" chunk holding the image file, named by its file name\n"
        "  --texture-as NAME IMAGE  \"TTTT\" chunk holding the image file under NAME\n"
        "  --crops LIST             \"CCCC\" chunk from a crop list: one crop a line,\n"
        "                           \"name texture u0 v0 u_size v_size\", '#' starts a comment\n"
        "  --collmesh NAME NX NY NZ LIST\n"
        "                           \"CCCL\" collision mesh NAME on an NX x NY x NZ grid from a\n"
        "                           triangle list: \"ax ay az bx by bz cx cy cz face\" a line\n"
        "  --shapes NAME LIST       \"SXZA\" shape set NAME from a list of \"radius x y z\" lines\n"
        "  --model LIST             \"MMMM\" chunk from a model list (\"model NAME\", then v, vn,\n"
        "                           vt, vc, skin, bone, material and f lines)\n"
        "  --hierarchy LIST         \"BBBB\" chunk from a frame list: \"NAME PARENT x y z\" or\n"
        "                           \"NAME PARENT\" and 16 matrix values a line, PARENT - for the "
        "root\n"
        "  --motion LIST            \"AAAA\" chunk: \"motion NAME FRAMES\", then \"track NAME\" "
        "and\n"
        "                           its \"key x y z\" or \"key\" and 16 matrix values lines\n"
        "  --camera LIST            \"CAMR\" chunk: \"camera NAME WORD VALUE0 VALUE1\", then\n"
        "                           \"key a b c d\" lines\n"
        "  --raw TAG BODY           chunk with the four-character TAG and the file BODY as is\n"
        "options:\n"
        "  --version HEX            version word of the next chunk (default: the loader's)\n"
        "  -o OUTPUT                the file to write\n"
        "  --help                   this text\n",
        out);
}

// The body of a 3D kind from its text list; false with *error set when the list is malformed.
static bool list_body(const std::string &option, const std::string &text, const char **tag,
                      std::vector<uint8_t> *body, std::string *error) {
    if (option == "--model") {
        PackModel m;
        *tag = "MMMM";
        if (!pack_parse_model(text, &m, error)) return false;
        *body = pack_model_body(m);
    } else if (option == "--hierarchy") {
        PackFrame root;
        *tag = "BBBB";
        if (!pack_parse_hierarchy(text, &root, error)) return false;
        *body = pack_hierarchy_body(root);
    } else if (option == "--motion") {
        PackMotion m;
        *tag = "AAAA";
        if (!pack_parse_motion(text, &m, error)) return false;
        *body = pack_motion_body(m);
    } else {
        PackCamera c;
        *tag = "CAMR";
        if (!pack_parse_camera(text, &c, error)) return false;
        *body = pack_camera_body(c);
    }
    return true;
}

static int fail(const std::string &message) {
    std::fprintf(stderr, "tavok_pack: %s\n", message.c_str());
    return 1;
}

int main(int argc, char **argv) {
    std::string output;
    std::vector<uint8_t> file;
    bool have_version = false;
    uint32_t version = 0;
    int chunks = 0;

    auto next_version = [&](uint32_t tag) {
        uint32_t v = have_version ? version : pack_expected_version(tag);
        have_version = false;
        return v;
    };
    auto need = [&](int i, int n) { return i + n < argc; };

    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else if (a == "-o") {
            if (!need(i, 1)) return fail("-o needs a file name");
            output = argv[++i];
        } else if (a == "--version") {
            if (!need(i, 1)) return fail("--version needs a hexadecimal word");
            const char *text = argv[++i];
            char *end = nullptr;
            unsigned long long v = std::strtoull(text, &end, 16);
            // Hexadecimal digits only, of a value that fits 32 bits.
            if (!std::isxdigit(static_cast<unsigned char>(text[0])) || *end || v > 0xFFFFFFFFull)
                return fail(std::string("bad version: ") + text);
            version = static_cast<uint32_t>(v);
            have_version = true;
        } else if (a == "--texture" || a == "--texture-as") {
            bool named = a == "--texture-as";
            if (!need(i, named ? 2 : 1)) return fail(a + " needs its arguments");
            std::string name = named ? argv[++i] : "";
            std::string path = argv[++i];
            if (!named) {
                size_t slash = path.find_last_of("/\\");
                name = slash == std::string::npos ? path : path.substr(slash + 1);
            }
            std::vector<uint8_t> image;
            if (!pack_read_file(path, &image)) return fail("cannot read " + path);
            uint32_t tag = pack_tag_of("TTTT");
            pack_append_chunk(file, tag, next_version(tag), pack_texture_body(name, image));
            ++chunks;
        } else if (a == "--crops") {
            if (!need(i, 1)) return fail("--crops needs a crop list");
            std::string path = argv[++i];
            std::vector<uint8_t> text;
            if (!pack_read_file(path, &text)) return fail("cannot read " + path);
            std::vector<PackCrop> crops;
            std::string error;
            if (!pack_parse_crop_list(std::string(text.begin(), text.end()), &crops, &error))
                return fail(path + ": " + error);
            std::vector<uint8_t> body;
            if (!pack_crop_body(crops, &body, &error)) return fail(path + ": " + error);
            uint32_t tag = pack_tag_of("CCCC");
            pack_append_chunk(file, tag, next_version(tag), body);
            ++chunks;
        } else if (a == "--collmesh" || a == "--shapes") {
            bool mesh = a == "--collmesh";
            if (!need(i, mesh ? 5 : 2)) return fail(a + " needs its arguments");
            std::string name = argv[++i];
            PackCollGrid grid;
            if (mesh) {
                uint32_t *counts[3] = {&grid.nx, &grid.ny, &grid.nz};
                for (uint32_t *c : counts) {
                    const char *text = argv[++i];
                    char *end = nullptr;
                    unsigned long v = std::strtoul(text, &end, 10);
                    if (!std::isdigit(static_cast<unsigned char>(text[0])) || *end || v < 1 ||
                        v > 4096)
                        return fail(std::string("bad grid count: ") + text);
                    *c = static_cast<uint32_t>(v);
                }
            }
            std::string path = argv[++i];
            std::vector<uint8_t> text;
            if (!pack_read_file(path, &text)) return fail("cannot read " + path);
            std::string list(text.begin(), text.end()), error;
            std::vector<uint8_t> body;
            if (mesh) {
                std::vector<PackCollTriangle> triangles;
                if (!pack_parse_triangle_list(list, &triangles, &error))
                    return fail(path + ": " + error);
                body = pack_collision_mesh_body(name, triangles, grid);
                if (body.empty()) return fail("grid too large: " + path);
            } else {
                std::vector<PackSphere> spheres;
                if (!pack_parse_sphere_list(list, &spheres, &error))
                    return fail(path + ": " + error);
                body = pack_shape_set_body(name, spheres);
            }
            uint32_t tag = pack_tag_of(mesh ? "CCCL" : "SXZA");
            pack_append_chunk(file, tag, next_version(tag), body);
            ++chunks;
        } else if (a == "--model" || a == "--hierarchy" || a == "--motion" || a == "--camera") {
            if (!need(i, 1)) return fail(a + " needs a list");
            std::string path = argv[++i];
            std::vector<uint8_t> bytes;
            if (!pack_read_file(path, &bytes)) return fail("cannot read " + path);
            std::string text(bytes.begin(), bytes.end()), error;
            const char *tag = nullptr;
            std::vector<uint8_t> body;
            if (!list_body(a, text, &tag, &body, &error)) return fail(path + ": " + error);
            uint32_t t = pack_tag_of(tag);
            pack_append_chunk(file, t, next_version(t), body);
            ++chunks;
        } else if (a == "--raw") {
            if (!need(i, 2)) return fail("--raw needs a tag and a body file");
            std::string tag_text = argv[++i];
            if (tag_text.size() != 4) return fail("a tag has four characters: " + tag_text);
            std::string path = argv[++i];
            std::vector<uint8_t> body;
            if (!pack_read_file(path, &body)) return fail("cannot read " + path);
            uint32_t tag = pack_tag_of(tag_text.c_str());
            pack_append_chunk(file, tag, next_version(tag), body);
            ++chunks;
        } else {
            usage(stderr);
            return fail("unknown argument: " + a);
        }
    }
    if (output.empty()) {
        usage(stderr);
        return fail("no output file (-o)");
    }
    if (!pack_write_file(output, file)) return fail("cannot write " + output);
    std::printf("%s: %d chunk(s), %zu bytes\n", output.c_str(), chunks, file.size());
    return 0;
}
