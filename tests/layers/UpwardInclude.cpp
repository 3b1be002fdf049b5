// Built only by the layering tests, which expect this to fail: a layer
// cannot see the headers of a layer it does not stand on.
#include PELICAN_FORBIDDEN_HEADER

int main() {
    return 0;
}
