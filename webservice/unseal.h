// The stand-in's reading of a request's sealed "uri" parameter.
#ifndef PONTIRO_WEBSERVICE_UNSEAL_H
#define PONTIRO_WEBSERVICE_UNSEAL_H

#include <string>

// The request path sealed in `sealed` (Base64 of Blowfish-CBC under the
// sealing's fixed key and IV, zero-padded), as UTF-8 bytes; "" for a value
// that is not such a seal.
std::string UnsealRequestPath(const std::string& sealed);

#endif
