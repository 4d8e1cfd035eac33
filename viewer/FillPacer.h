#pragma once
#include <windows.h>
#include "viewer/FillRoom.h"

// Paces the fill of a page into the viewer's control: the size of each
// piece, from the time and memory that the pieces so far took and the room
// the process has left, and when the rest of the page is dropped for want
// of room. It sees no window: the caller hands out the pieces, puts them
// in, and tells it what each took.
class CFillPacer {
public:
    // Body bytes of the first piece: enough for a few screens of any page,
    // small enough for the control to take in a moment. It goes in at once.
    static const int kFirstPieceBytes = 48 * 1024;
    // The fill's timer: pieces go in for kTickMs per tick unless input
    // waits; between ticks the window paints and answers the user.
    static const UINT kTimerMs = 10;
    static const DWORD kTickMs = 120;
    // What one later piece should take.
    static const DWORD kPieceMs = 40;

    CFillPacer();
    // Room: what the process has room for (tests give a room of their own).
    explicit CFillPacer(const CFillRoom& room);

    // A new fill: forgets what the pieces of the last one took.
    void Start();
    // The body bytes for the next piece, remaining bytes being still to go;
    // finishing: the whole rest is wanted now (Copy, Save). 0 when no piece
    // goes in now, for want of room.
    int NextPieceBytes(int remaining, bool finishing);
    // Whether the rest of the page is to be dropped, as text beyond the
    // control's limit is: the room was missing for the allowed number of
    // ticks in a row, or while finishing.
    bool DropsTheRest() const { return m_dropRest; }
    // Records the piece that went in: bodyBytes of body in ms milliseconds,
    // handedOut body bytes in all so far, this piece's included.
    void PieceWentIn(int bodyBytes, DWORD ms, int handedOut);

private:
    CFillRoom m_room;           // how much of the next piece the process has room for
    int m_pieceBytes;           // the next piece, following the time the last one took
    int m_askedBytes;           // what the last answer of NextPieceBytes was
    int m_ticksWithoutRoom;     // in a row, each found no room for a piece
    bool m_dropRest;
};
