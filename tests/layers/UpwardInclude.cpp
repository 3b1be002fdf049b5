// Built only by the layering test, which expects this to fail: the commands
// layer cannot see the application's headers.
#include "app/PelicanApp.h"
#include "commands/Command.h"

int main() {
    return 0;
}
