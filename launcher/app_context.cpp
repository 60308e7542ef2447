#include "launcher/app_context.h"

namespace ncApp {

AppContext& Context() {
    static AppContext context;
    return context;
}

}  // namespace ncApp
