// Placeholder: the shared-object face of the simulated storage library.
