/* A libjack that has every function the driver library calls but the one
   its build leaves out, if any. Its client opens (in one build, after
   refusing the first ones) and offers one peer port, "synth:midi", that
   nothing can ever connect to; every other function answers 0, as a
   forwarder to a missing function used to. */
#include "driver/JackFunctions.h"

#define jack_client_open jack_client_open_stub
#define jack_get_ports jack_get_ports_stub
#define jack_port_by_name jack_port_by_name_stub
#define jack_port_register jack_port_register_stub
#define jack_port_name jack_port_name_stub
#define jack_get_client_name jack_get_client_name_stub
#define jack_client_name_size jack_client_name_size_stub
#define jack_port_name_size jack_port_name_size_stub
#define jack_get_sample_rate jack_get_sample_rate_stub
#define jack_get_buffer_size jack_get_buffer_size_stub
#define STUB(f) long f(void) { return 0; }
MORVELANT_JACK_FUNCTIONS(STUB)
#undef jack_client_open
#undef jack_get_ports
#undef jack_port_by_name
#undef jack_port_register
#undef jack_port_name
#undef jack_get_client_name
#undef jack_client_name_size
#undef jack_port_name_size
#undef jack_get_sample_rate
#undef jack_get_buffer_size

static int object;
static const char* ports[] = {"synth:midi", 0};

#ifdef STUB_REFUSES_FIRST_CLIENTS
/* As a busy server refuses new clients for a moment: the first
   MORVELANT_STUB_REFUSALS clients are refused. */
#include <stdlib.h>
static int refused;
void* jack_client_open(void) {
    const char* refusals = getenv("MORVELANT_STUB_REFUSALS");
    if (refusals && refused < atoi(refusals)) {
        ++refused;
        return 0;
    }
    return &object;
}
#else
void* jack_client_open(void) { return &object; }
#endif
const char** jack_get_ports(void) { return ports; }
void* jack_port_by_name(void) { return &object; }
void* jack_port_register(void) { return &object; }
const char* jack_port_name(void) { return ports[0]; }
const char* jack_get_client_name(void) { return "driver_tests"; }
int jack_client_name_size(void) { return 64; }
int jack_port_name_size(void) { return 320; }
unsigned jack_get_sample_rate(void) { return 48000; }
unsigned jack_get_buffer_size(void) { return 128; }
