/* A libjack that has every function the driver library calls but the one
   its build leaves out (LACKING names it): each answers 0, as a forwarder to
   a missing function used to. */
#include "driver/JackFunctions.h"

#define STUB(f) long f(void) { return 0; }
MORVELANT_JACK_FUNCTIONS(STUB)
