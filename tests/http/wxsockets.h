// wxWidgets and its sockets, set up once for a test program without an
// application object. Call from the main thread before any socket exists.
#ifndef PONTIRO_TESTS_HTTP_WXSOCKETS_H
#define PONTIRO_TESTS_HTTP_WXSOCKETS_H

void InitWxSocketsForTests();

#endif
