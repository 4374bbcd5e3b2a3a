#pragma once

#include <QLoggingCategory>

// Developer trace messages; off unless QT_LOGGING_RULES="vistrel.trace=true".
Q_DECLARE_LOGGING_CATEGORY(vistrelTrace)
