#include "PieceWorkers.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <thread>

namespace tavisk {

namespace {

// One large file is edited in pieces of this size (its output fits a
// writer's buffer) by up to -j workers, when this much of it is left.
// TAVISK_PIECE_BYTES sets the size (tests use small pieces on small files);
// the minimum is then kPiecesAtLeast pieces.
constexpr uint64_t kPieceSize = uint64_t{768} << 10;
constexpr uint64_t kPiecesMinimum = uint64_t{64} << 20;
constexpr uint64_t kPiecesAtLeast = 32;
// More piece workers than cores only hold more pieces in memory.
int MaxPieceWorkers() {
    static const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::max(2, cores);
}

// The piece size TAVISK_PIECE_BYTES asks for; 0 when it is not set.
uint64_t PieceSizeAskedFor() {
    const char* text = std::getenv("TAVISK_PIECE_BYTES");
    char* end = nullptr;
    const unsigned long long size = text ? std::strtoull(text, &end, 10) : 0;
    return end && *end == '\0' ? size : 0;
}

}  // namespace

void SetPieceWorkers(EditEngine& engine, int workers) {
    const uint64_t asked = PieceSizeAskedFor();
    engine.SetPieceWorkers(std::min(workers, MaxPieceWorkers()), asked ? asked : kPieceSize,
                           asked ? asked * kPiecesAtLeast : kPiecesMinimum);
}

}  // namespace tavisk
