// Mutated bitmap files decoded with the input and the destination each placed against a page
// with no access, so that a read or write one byte past either end faults.
#include "image/bitmap_files.h"
#include "runtime/image/bitmap_decoder.h"
#include "runtime/image/bitmap_format.h"
#include "runtime/image/image_loader.h"
#include "runtime/image/image_objects.h"
#include "runtime_fixture.h"

#include <random>

namespace {

// size bytes that end where a PAGE_NOACCESS page begins, or begin where one ends.
class GuardedBlock {
  public:
    GuardedBlock(size_t size, bool againstEnd) {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        page = system.dwPageSize;
        size_t inner = (size + page - 1) / page * page;
        total = inner + 2 * page;
        base = static_cast<uint8_t*>(
            VirtualAlloc(nullptr, total, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        DWORD old;
        if (!base || !VirtualProtect(base, page, PAGE_NOACCESS, &old) ||
            !VirtualProtect(base + page + inner, page, PAGE_NOACCESS, &old))
            return;
        bytes = againstEnd ? base + page + inner - size : base + page;
    }
    ~GuardedBlock() {
        if (base)
            VirtualFree(base, 0, MEM_RELEASE);
    }
    // Makes the block read-only, as a loader's input may be.
    bool Seal() {
        DWORD old;
        return VirtualProtect(bytes, total - page - (bytes - base), PAGE_READONLY, &old) != 0;
    }
    uint8_t* bytes = nullptr;

  private:
    uint8_t* base = nullptr;
    size_t page = 0, total = 0;
};

// Destinations above this are not made; the check still runs on such files.
constexpr uint64_t LargestDestination = 1 << 20;

// Check, decode and clean-up from memory, with the input given and a destination against a
// guard page too. Reaching the end without a fault is the test; true when it decoded.
bool CheckAndDecode(const uint8_t* data, size_t size, bool againstEnd) {
    LoadContext context = {};
    context.memory = data;
    context.fromMemory = 1;
    context.size = static_cast<unsigned>(size);
    if (!BitmapCheck(&context))
        return false;
    int64_t pitch = 3 * static_cast<int64_t>(context.width) + (size & 1);
    uint64_t bytes = context.height < 1 || pitch < 1 ? 1 : context.height * pitch;
    bool decoded = bytes <= LargestDestination;
    if (decoded) {
        GuardedBlock destination(static_cast<size_t>(bytes), againstEnd);
        EXPECT_NE(destination.bytes, nullptr);
        EXPECT_EQ(BitmapDecode(&context, destination.bytes, static_cast<int>(pitch), 0), 1);
    }
    BitmapCleanup(&context);
    return decoded;
}

// The loader from memory; its destination is a section of its own.
bool LoadFromMemory(const uint8_t* data, size_t size, bool) {
    intptr_t image = LoadImageFromMemory(AutoNumber, data, size);
    return image && ImageFree(static_cast<int>(image));
}

// Every way a file reaches the decoder from memory.
typedef bool (*DecodePath)(const uint8_t* data, size_t size, bool againstEnd);
const DecodePath Paths[] = {CheckAndDecode, LoadFromMemory};

// A header field set to a value around the data's end or the ends of its type.
void LieInHeader(Bytes& file, std::mt19937& random) {
    static const size_t fields[] = {FIELD_PIXEL_OFFSET, FIELD_HEADER_SIZE, FIELD_WIDTH,
                                    FIELD_HEIGHT, FIELD_COMPRESSION};
    const uint32_t size = static_cast<uint32_t>(file.size());
    const uint32_t values[] = {0,          1,          size - 1,   size,       size + 1,
                               0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF2, random() % 64};
    size_t field = fields[random() % 5];
    if (field == FIELD_COMPRESSION)
        Store32(file, field, random() % 4);
    else
        Store32(file, field, values[random() % 10]);
}

Bytes Mutate(const Bytes& seed, std::mt19937& random) {
    Bytes file = seed;
    switch (random() % 4) {
    case 0: // a few bytes anywhere, the run-length codes among them
        for (int i = random() % 4; i >= 0; --i)
            file[random() % file.size()] = static_cast<uint8_t>(random());
        break;
    case 1:
        LieInHeader(file, random);
        break;
    case 2:
        file.resize(BITMAP_HEADER_BYTES + random() % (file.size() - BITMAP_HEADER_BYTES));
        break;
    default: // a lie, then cut
        LieInHeader(file, random);
        file.resize(file.size() - random() % (file.size() - BITMAP_HEADER_BYTES));
        break;
    }
    Store16(file, FIELD_BITS_PER_PIXEL, static_cast<uint32_t>(seed[28] | seed[29] << 8));
    if (random() % 8 == 0)
        Store16(file, FIELD_BITS_PER_PIXEL, random() % 40);
    return file;
}

using BitmapGuard = RuntimeTest;

TEST_F(BitmapGuard, MutatedFilesNeverReachPastTheInputOrTheDestination) {
    std::mt19937 random(12);
    int decoded = 0, runs = 0;
    for (const auto& seed : BitmapSeedFiles())
        for (int i = 0; i < 150; ++i) {
            Bytes file = i == 0 ? seed.second : Mutate(seed.second, random);
            for (bool againstEnd : {true, false})
                for (DecodePath path : Paths) {
                    GuardedBlock input(file.size(), againstEnd);
                    ASSERT_NE(input.bytes, nullptr);
                    memcpy(input.bytes, file.data(), file.size());
                    ASSERT_TRUE(input.Seal());
                    decoded += path(input.bytes, file.size(), againstEnd);
                    ++runs;
                }
        }
    EXPECT_GT(decoded, runs / 2) << "most mutated files must reach the decoder";
}

} // namespace
