#include "devcore/scenario.h"

namespace Zarvo::DevCore {

std::string Step::Title() const {
    switch (action) {
        case Action::Put: return "put " + uri;
        case Action::Delete: return "delete " + uri;
        case Action::Stream: return "stream " + uri;
        case Action::Fail: return "fail " + uri;
        case Action::Request:
            return "request " + request.method + " " + request.path + (request.query.empty() ? "" : "?" + request.query);
    }
    return {};
}

}  // namespace Zarvo::DevCore
