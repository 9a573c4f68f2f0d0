#include "platform/application.h"

Application& Application::shared() {
    static Application application;
    return application;
}
