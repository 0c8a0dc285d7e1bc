# Sources of src/filters.
