# Sources of src/games.
