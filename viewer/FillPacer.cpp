#include "viewer/FillPacer.h"

namespace {

// Later pieces are sized after the time the last one took, so that each
// takes about kPieceMs, within these bounds; a piece at most doubles the
// last.
const int kMinPieceBytes = 8 * 1024;
const int kMaxPieceBytes = 1024 * 1024;
// Every piece costs the control a walk over the paragraphs already in,
// whatever its size, and one more when it is painted. A piece is at least
// this fraction of the body already in, so that the walks of the whole fill
// add up to a fixed multiple of the text and the fill stays linear; the
// largest pieces of a 5 MB page then take a few hundred milliseconds.
const int kGrowthDivisor = 16;
// Timer ticks in a row without room for a piece before the rest is dropped:
// another thread may give memory back in a moment.
const int kTicksWithoutRoom = 3;
// Finishing the fill at once (Copy, Save) takes larger pieces.
const int kFinishPieceBytes = 4 * 1024 * 1024;

} // namespace

CFillPacer::CFillPacer()
    : m_pieceBytes(kMinPieceBytes), m_askedBytes(0), m_ticksWithoutRoom(0), m_dropRest(false)
{
}

CFillPacer::CFillPacer(const CFillRoom& room)
    : m_room(room), m_pieceBytes(kMinPieceBytes), m_askedBytes(0), m_ticksWithoutRoom(0), m_dropRest(false)
{
}

void CFillPacer::Start()
{
    m_room.Reset();
    m_pieceBytes = kMinPieceBytes;
    m_askedBytes = 0;
    m_ticksWithoutRoom = 0;
    m_dropRest = false;
}

int CFillPacer::NextPieceBytes(int remaining, bool finishing)
{
    const int least = remaining < kMinPieceBytes ? remaining : kMinPieceBytes;
    m_askedBytes = m_room.PieceBytesThatFit(finishing ? kFinishPieceBytes : m_pieceBytes, least);
    if (m_askedBytes == 0) {
        if (finishing || ++m_ticksWithoutRoom >= kTicksWithoutRoom) m_dropRest = true;
        return 0;
    }
    m_ticksWithoutRoom = 0;
    return m_askedBytes;
}

void CFillPacer::PieceWentIn(int bodyBytes, DWORD ms, int handedOut)
{
    m_room.RecordPiece(bodyBytes);

    // About kPieceMs for the next piece, and growth with the text already in.
    const long long asked = m_askedBytes > 0 ? m_askedBytes : kMinPieceBytes;
    long long next = ms > 0 ? static_cast<long long>(bodyBytes) * kPieceMs / ms : asked * 2;
    if (next > asked * 2) next = asked * 2;
    if (next < kMinPieceBytes) next = kMinPieceBytes;
    const long long floor = handedOut / kGrowthDivisor;
    if (next < floor) next = floor;
    if (next > kMaxPieceBytes) next = kMaxPieceBytes;
    m_pieceBytes = static_cast<int>(next);
}
