// Every libjack function the driver library calls: the loader requires each
// of them of a library before it uses it (JackLoader.cpp).
#ifndef MIDIKIT_DRIVER_JACKFUNCTIONS_H
#define MIDIKIT_DRIVER_JACKFUNCTIONS_H

#define MORVELANT_JACK_FUNCTIONS(X)                                                                                   \
    X(jack_activate) X(jack_client_close) X(jack_client_name_size) X(jack_client_open) X(jack_connect)                 \
    X(jack_deactivate) X(jack_frame_time) X(jack_frames_to_time) X(jack_free) X(jack_get_buffer_size)                  \
    X(jack_get_client_name) X(jack_get_ports) X(jack_get_sample_rate) X(jack_get_time) X(jack_last_frame_time)         \
    X(jack_midi_clear_buffer) X(jack_midi_event_get) X(jack_midi_event_reserve) X(jack_midi_get_event_count)           \
    X(jack_on_info_shutdown) X(jack_on_shutdown) X(jack_port_by_id) X(jack_port_by_name) X(jack_port_connected)        \
    X(jack_port_connected_to) X(jack_port_disconnect) X(jack_port_get_aliases) X(jack_port_get_buffer)                 \
    X(jack_port_name) X(jack_port_name_size) X(jack_port_register) X(jack_port_unregister) X(jack_port_uuid)           \
    X(jack_port_uuid_generate) X(jack_ringbuffer_create) X(jack_ringbuffer_free) X(jack_ringbuffer_mlock)              \
    X(jack_ringbuffer_peek) X(jack_ringbuffer_read)                                                                    \
    X(jack_ringbuffer_read_advance) X(jack_ringbuffer_read_space) X(jack_ringbuffer_write)                             \
    X(jack_ringbuffer_write_space) X(jack_set_error_function) X(jack_set_info_function)                                \
    X(jack_set_port_connect_callback) X(jack_set_port_registration_callback) X(jack_set_port_rename_callback)       \
    X(jack_set_process_callback)

#endif
