# Tests of the exported interface as the built libraries show it.
