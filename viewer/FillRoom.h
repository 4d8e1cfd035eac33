#pragma once

// Keeps the fill of a large page from taking the last of the process's
// address space. A 32-bit browser has 2 to 4 GB in all, and for a page of
// nothing but tags the platform's rich edit can want more than that for the
// characters that the control's limit allows; the process would not survive
// the page. What the control took per byte of the pieces so far tells how
// much of the next one still fits below the reserve; the page shows as far
// as it fits, as it shows up to the control's limit.
class CFillRoom {
public:
    // The fill stays below the user address space less a reserve.
    CFillRoom();
    // The fill stays below limit bytes of committed address space.
    explicit CFillRoom(unsigned long long limit);

    // Forgets what earlier pieces took.
    void Reset();
    // The body bytes of a piece of at most wanted bytes that fit, or 0 when
    // not even least bytes do.
    int PieceBytesThatFit(int wanted, int least);
    // Records what a piece of bodyBytes took, measured since the last
    // PieceBytesThatFit.
    void RecordPiece(int bodyBytes);

private:
    unsigned long long m_limit;     // the committed address space a fill stays below
    unsigned long long m_usedBefore;
    unsigned long long m_taken;     // address space that the pieces so far took
    unsigned long long m_fed;       // their body bytes
};
