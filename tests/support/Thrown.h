// The message of the Exception a call raises (others escape and fail the test), for one-line checks.
#pragma once

#include "platform/Exception.h"

template <typename E = Exception, typename F> QString Thrown(F&& call)
{
    try {
        call();
    } catch (const E& e) {
        return e.Message;
    }
    return "<no exception>";
}
