// The lowest layer: small services every other layer may use.
