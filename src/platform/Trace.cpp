#include "platform/Trace.h"

Q_LOGGING_CATEGORY(vistrelTrace, "vistrel.trace", QtWarningMsg)
