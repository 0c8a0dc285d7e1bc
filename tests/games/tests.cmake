# Tests of src/games.
