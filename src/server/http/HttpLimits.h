#pragma once

#include <QtGlobal>

// Every limit the HTTP engine enforces, in one place (the README lists them).
namespace vistrel::server::limits {

// Longest request line and header line, without the line end.
inline constexpr qsizetype kMaxRequestLine = 8 * 1024;
inline constexpr qsizetype kMaxHeaderLine = 8 * 1024;
// Header lines of one request, and empty lines tolerated before a request line.
inline constexpr int kMaxHeaderLines = 100;
inline constexpr int kMaxLeadingEmptyLines = 100;
// All header lines of one request together.
inline constexpr qsizetype kMaxHeaderBytes = 64 * 1024;
// Largest Content-Length accepted, whatever the method. The editor's form is
// the largest body the pages post: three or four fields per favourite, each
// named after the favourite's hex-encoded path, about 300 bytes per favourite
// for short paths and names. Sized for the largest collection the program
// handles, 10,000 favourites on one page, with room for long folder and file
// names.
inline constexpr qint64 kMaxFavouritesOnOnePage = 10000;
inline constexpr qint64 kMaxFormBytesPerFavourite = 4 * 1024;
inline constexpr qint64 kMaxPostedBody = kMaxFavouritesOnOnePage * kMaxFormBytesPerFavourite;
// Most byte ranges answered in one request; more is answered with 416.
inline constexpr int kMaxRanges = 32;

// A connection with no byte received or sent for this long is closed.
inline constexpr int kIdleTimeoutMs = 30 * 1000;
// A request header must be complete this long after its first byte arrived.
inline constexpr int kHeaderTimeoutMs = 30 * 1000;
// After the sending side is shut down, the peer gets this long to close, and
// at most this many bytes are read and dropped meanwhile.
inline constexpr int kCloseDrainTimeoutMs = 2 * 1000;
inline constexpr qint64 kCloseDrainMaxBytes = 256 * 1024;

// Bytes the socket layer buffers from a client before it stops reading
// (back-pressure while an answer is still being sent).
inline constexpr qint64 kSocketReadBuffer = 64 * 1024;
// Bytes looked at per parser step.
inline constexpr qsizetype kParseChunk = 16 * 1024;
// A response stream is read and handed to the network a batch of pieces at
// a time: the next batch only once the previous one has left, so a large
// file never sits in memory whole.
inline constexpr qsizetype kSendPiece = 1460;
inline constexpr qsizetype kPiecesPerBatch = 44;
inline constexpr qsizetype kSendBatch = kSendPiece * kPiecesPerBatch;
// Header bytes of a handler's own answer that are searched for Content-Length.
inline constexpr qsizetype kAnswerHeaderScan = 8 * 1024;

} // namespace vistrel::server::limits
