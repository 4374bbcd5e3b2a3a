#pragma once

#include <QUuid>

#include <cstdint>

namespace vistrel::capture {

using PropertyId = std::uint32_t;

// The two property sets of an Internet shortcut.
inline const QUuid FMTID_Intshcut = QUuid(0x000214A0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
inline const QUuid FMTID_InternetSite = QUuid(0x000214A1, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);

inline constexpr PropertyId PID_IS_URL = 2;
inline constexpr PropertyId PID_IS_NAME = 4;
inline constexpr PropertyId PID_IS_WORKINGDIR = 5;
inline constexpr PropertyId PID_IS_HOTKEY = 6;
inline constexpr PropertyId PID_IS_SHOWCMD = 7;
inline constexpr PropertyId PID_IS_ICONINDEX = 8;
inline constexpr PropertyId PID_IS_ICONFILE = 9;

inline constexpr PropertyId PID_INTSITE_LASTVISIT = 4;
inline constexpr PropertyId PID_INTSITE_LASTMOD = 5;
inline constexpr PropertyId PID_INTSITE_VISITCOUNT = 6;
inline constexpr PropertyId PID_INTSITE_URL = 15;
inline constexpr PropertyId PID_INTSITE_TITLE = 16;

struct NamedProperty
{
    PropertyId id;
    const char *name;
};

// The properties the capture writes, in the order it writes them.
inline constexpr NamedProperty kShortcutProperties[] = {
    {2, "PID_IS_URL"},        {4, "PID_IS_NAME"},     {5, "PID_IS_WORKINGDIR"}, {6, "PID_IS_HOTKEY"},
    {7, "PID_IS_SHOWCMD"},    {8, "PID_IS_ICONINDEX"}, {9, "PID_IS_ICONFILE"},  {10, "PID_IS_WHATSNEW"},
    {11, "PID_IS_AUTHOR"},    {12, "PID_IS_DESCRIPTION"}, {13, "PID_IS_COMMENT"},
};

inline constexpr NamedProperty kSiteProperties[] = {
    {2, "PID_INTSITE_WHATSNEW"},     {3, "PID_INTSITE_AUTHOR"},       {4, "PID_INTSITE_LASTVISIT"},
    {5, "PID_INTSITE_LASTMOD"},      {6, "PID_INTSITE_VISITCOUNT"},   {7, "PID_INTSITE_DESCRIPTION"},
    {8, "PID_INTSITE_COMMENT"},      {9, "PID_INTSITE_FLAGS"},        {10, "PID_INTSITE_CONTENTLEN"},
    {11, "PID_INTSITE_CONTENTCODE"}, {12, "PID_INTSITE_RECURSE"},     {13, "PID_INTSITE_WATCH"},
    {14, "PID_INTSITE_SUBSCRIPTION"}, {15, "PID_INTSITE_URL"},        {16, "PID_INTSITE_TITLE"},
    {18, "PID_INTSITE_CODEPAGE"},    {19, "PID_INTSITE_TRACKING"},
};

} // namespace vistrel::capture
