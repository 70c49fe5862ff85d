// The shader self-test as a program of its own: starts the framework, runs
// TestShader (its lines go to the console, its failures to message boxes),
// shuts down and ends with exit code 0. Run it in data/, where the test's
// four files are.
#include <fw/app/framework.h>
#include <fw/shader/shader.h>

int main(int, char **) {
    if (InitFramework("fw", 800, 600, 1) != 0) {
        return 0; // the failure has been shown and the framework shut down
    }
    TestShader();
    ExitFramework();
    return 0;
}
