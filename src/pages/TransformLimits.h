#pragma once

#include <cstddef>

namespace vistrel::pages {

// Bounds on one transformation, so that a user-edited stylesheet that recurses
// without end or keeps expanding stops with an error instead of hanging the
// program or eating its memory. The built-in templates stay far below them:
// the largest built-in page (the edit form of 10,000 links in 500 folders on
// one page, 250 MB of HTML) needs 1.3 million instructions, 23 million XPath
// operations, about 600 MB and a few seconds.

// Nested template calls (libxslt's own default; deeper recursion risks the C stack).
inline constexpr int kMaxTemplateDepth = 3000;
// Variables and parameters alive at once on the transformation's stack.
inline constexpr int kMaxTemplateVars = 15000;
// Stylesheet instructions executed by one transformation.
inline constexpr unsigned long kMaxInstructions = 20'000'000UL;
// XPath operations evaluated by one transformation.
inline constexpr unsigned long kMaxXPathOperations = 200'000'000UL;
// Memory the engine may allocate while one transformation runs.
inline constexpr std::size_t kMaxTransformMemory = std::size_t(1) << 30;
// Seconds one transformation may run, for work the counts above do not see.
inline constexpr int kMaxTransformSeconds = 30;
// Engine messages kept for one error report.
inline constexpr std::size_t kMaxErrorTextBytes = 4096;
// Parsed documents and stylesheets one session keeps for reuse.
inline constexpr std::size_t kMaxCachedDocuments = 16;

} // namespace vistrel::pages

namespace vistrel::pages {

// The bounds one session applies; the constants above unless a caller (a
// test) asks for tighter ones.
struct TransformLimits
{
    int maxTemplateDepth = kMaxTemplateDepth;
    int maxTemplateVars = kMaxTemplateVars;
    unsigned long maxInstructions = kMaxInstructions;
    unsigned long maxXPathOperations = kMaxXPathOperations;
    std::size_t maxMemory = kMaxTransformMemory;
    int maxSeconds = kMaxTransformSeconds;
};

} // namespace vistrel::pages
