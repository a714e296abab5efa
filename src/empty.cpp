// Keeps every library non-empty while its directory is still being filled.
