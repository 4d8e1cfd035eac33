#include "viewer/FillRoom.h"
#include <windows.h>

namespace {

// Taken per body byte, however little the pieces so far seemed to take: the
// heap grows in steps, so a small piece may take nothing visible, and a
// control filled into freed memory takes little until that runs out. Wine's
// rich edit takes 80 to 140 bytes per body byte of text and of tags.
const unsigned long long kLeastPerByte = 128;
// A quarter of the address space stays free of the fill, but no more than
// this: reservations not yet committed, fragments too small for the
// control's blocks, and the browser's own needs live there.
const unsigned long long kMostReserve = 1ull << 30;

// Bytes of the process's address space that are committed: its heaps,
// stacks in use, loaded modules and mapped views. Reservations that nothing
// has committed yet do not count: some platforms hold much of the address
// space reserved for their own later allocations.
unsigned long long CommittedAddressSpace()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const ULONG_PTR end = reinterpret_cast<ULONG_PTR>(info.lpMaximumApplicationAddress);
    unsigned long long committed = 0;
    ULONG_PTR at = reinterpret_cast<ULONG_PTR>(info.lpMinimumApplicationAddress);
    MEMORY_BASIC_INFORMATION region;
    while (at < end && VirtualQuery(reinterpret_cast<void*>(at), &region, sizeof region) == sizeof region) {
        const ULONG_PTR next = reinterpret_cast<ULONG_PTR>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        if (region.State == MEM_COMMIT) committed += next - at;
        at = next;
    }
    return committed;
}

// The user address space less what stays free of the fill.
unsigned long long FillLimit()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const unsigned long long total = reinterpret_cast<ULONG_PTR>(info.lpMaximumApplicationAddress) -
                                     reinterpret_cast<ULONG_PTR>(info.lpMinimumApplicationAddress) + 1;
    const unsigned long long quarter = total / 4;
    return total - (quarter < kMostReserve ? quarter : kMostReserve);
}

}  // namespace

CFillRoom::CFillRoom() : m_limit(FillLimit()), m_usedBefore(0), m_taken(0), m_fed(0)
{
}

CFillRoom::CFillRoom(unsigned long long limit) : m_limit(limit), m_usedBefore(0), m_taken(0), m_fed(0)
{
}

void CFillRoom::Reset()
{
    m_taken = 0;
    m_fed = 0;
}

int CFillRoom::PieceBytesThatFit(int wanted, int least)
{
    m_usedBefore = CommittedAddressSpace();
    if (m_usedBefore >= m_limit || wanted <= 0) return 0;
    unsigned long long perByte = m_fed ? m_taken / m_fed : 0;
    if (perByte < kLeastPerByte) perByte = kLeastPerByte;
    // Half as much again: a piece's own strings and the stream-in's buffers
    // come on top of what stays in the control.
    const unsigned long long fits = (m_limit - m_usedBefore) / (perByte + perByte / 2);
    if (fits < static_cast<unsigned long long>(least)) return 0;
    return fits < static_cast<unsigned long long>(wanted) ? static_cast<int>(fits) : wanted;
}

void CFillRoom::RecordPiece(int bodyBytes)
{
    const unsigned long long after = CommittedAddressSpace();
    if (after > m_usedBefore) m_taken += after - m_usedBefore;
    if (bodyBytes > 0) m_fed += static_cast<unsigned long long>(bodyBytes);
}
