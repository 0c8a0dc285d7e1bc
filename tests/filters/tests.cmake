# Tests of src/filters.
