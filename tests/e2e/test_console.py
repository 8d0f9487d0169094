"""Console transcripts against the real binary (console_answers.txt): start-up, settings,
prompts, moves, commands, book moves."""
from vrk_e2e import Checks

c = Checks()
c.transcripts("console_answers.txt")
c.done()
