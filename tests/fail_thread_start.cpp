// Preloaded into tarvexgl by hostile_test: no thread can be started, as under
// a process limit (ulimit -u, a container's pids limit) already reached.
#include <pthread.h>

#include <cerrno>

extern "C" int pthread_create(pthread_t* /*thread*/, const pthread_attr_t* /*attributes*/, void* (* /*start*/)(void*),
                              void* /*argument*/) {
    return EAGAIN;
}
