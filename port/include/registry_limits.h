/* The registry's limits, as Windows documents them (registry element size
 * limits) and the registry stand-in enforces them; for hosts that explain a
 * refusal as well as for the stand-in. Lengths count UTF-16 characters. */
#ifndef VINTUTIL_REGISTRY_LIMITS_H
#define VINTUTIL_REGISTRY_LIMITS_H

/* Longest key name (one component of a key path). */
#define REGISTRY_MAX_KEY_NAME_LENGTH 255
/* Longest value name. */
#define REGISTRY_MAX_VALUE_NAME_LENGTH 16383
/* Deepest key, in levels below the root. */
#define REGISTRY_MAX_KEY_DEPTH 512
/* Largest value data, in bytes. Windows sets no fixed limit (it advises
 * keeping values small); the stand-in stores up to this much. */
#define REGISTRY_MAX_VALUE_SIZE (4u * 1024 * 1024)

#endif /* VINTUTIL_REGISTRY_LIMITS_H */
