#include "shared/gui/handler.h"

#include "shared/errorhandling.h"
#include "shared/runtime.h"

using namespace Qt::StringLiterals;

namespace lorvo {

namespace {

void report(Runtime& rt, const QString& procedure, const Error& error)
{
    try {
        rt.errors().subHandleError(error.description(), error.number(), 0, procedure);
    } catch (const ProgramEnded&) {
    } catch (...) {
        // The reporter itself failed; the program must still end rather than go on half done.
        if (!rt.programEnd().hasEnded())
            rt.programEnd().endProgram(1);
    }
}

} // namespace

void runHandler(Runtime& rt, const QString& procedure, const std::function<void()>& body)
{
    try {
        body();
    } catch (const ProgramEnded&) {
    } catch (const std::exception& e) {
        report(rt, procedure, toError(e));
    } catch (...) {
        report(rt, procedure, Error(0, u"Unknown error"_s));
    }
}

} // namespace lorvo
