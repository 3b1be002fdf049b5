// simulated board
