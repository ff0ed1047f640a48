"""Runs lumesta-cli for an algorithm: finds the program, streams its progress bar to the
Processing feedback, stops it with SIGTERM when the user cancels (its cancel path removes what
it had begun to write) and turns its messages into Processing errors."""

import codecs
import json
import os
import pty
import re
import selectors
import shutil
import signal
import subprocess
import termios

from qgis.core import QgsProcessingException

SETTING = 'LUMESTA_CLI'
PROGRAM = 'lumesta-cli'
HERE = os.path.dirname(os.path.abspath(__file__))

BAR = re.compile(r'^\[[# ]+\] (\d+) %$')
USAGE_OPTION = re.compile(r'^lumesta-cli: (--[a-z0-9-]+)')


def configured_program():
    """The path set in Processing > Providers > Lumesta, or ''."""
    try:
        from processing.core.ProcessingConfig import ProcessingConfig
        return (ProcessingConfig.getSetting(SETTING) or '').strip()
    except ImportError:
        return ''


def installed(name):
    """The path of an installed file ("bin" folder, "guide") from the plugin's folder."""
    with open(os.path.join(HERE, 'locations.json'), encoding='utf-8') as locations:
        return os.path.normpath(os.path.join(HERE, json.load(locations)[name]))


def find_program():
    """lumesta-cli: the configured path, else beside the installed plugin, else on PATH."""
    configured = configured_program()
    if configured:
        if os.path.isfile(configured) and os.access(configured, os.X_OK):
            return configured
        raise QgsProcessingException(
            'The Lumesta provider\'s setting "{}" names {}, which is not an executable program.'
            .format(SETTING, configured))
    beside = os.path.join(installed('bin'), PROGRAM)
    if os.path.isfile(beside) and os.access(beside, os.X_OK):
        return beside
    found = shutil.which(PROGRAM)
    if found:
        return found
    raise QgsProcessingException(
        '{} was not found beside the Lumesta plugin nor on PATH; set its path in Settings > '
        'Options > Processing > Providers > Lumesta.'.format(PROGRAM))


class Run:
    """One run of lumesta-cli. `options` maps CLI options to parameter names, for messages
    about a wrong value; `shown` turns the files the run was given into the layers' own."""

    def __init__(self, arguments, feedback, options, shown):
        self.arguments = [find_program()] + [str(a) for a in arguments] + ['--yes']
        self.feedback = feedback
        self.options = options
        self.shown = shown
        self.messages = []
        self.pending = ''
        self.decoder = codecs.getincrementaldecoder('utf-8')('replace')

    def execute(self):
        """Runs the program; returns its standard output or raises with its messages."""
        # The progress bar is drawn on a terminal only: standard error is a pseudo-terminal
        # (where the system has none, a pipe: the messages without the bar).
        try:
            master, slave = pty.openpty()
            attributes = termios.tcgetattr(slave)
            attributes[1] &= ~termios.OPOST
            termios.tcsetattr(slave, termios.TCSANOW, attributes)
        except OSError:
            master, slave = None, subprocess.PIPE
        try:
            process = subprocess.Popen(self.arguments, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.PIPE, stderr=slave, close_fds=True)
        except OSError as error:
            if master is not None:
                os.close(master)
            raise QgsProcessingException('Cannot start {}: {}'.format(self.arguments[0], error))
        finally:
            if master is not None:
                os.close(slave)
        errors = master if master is not None else process.stderr.fileno()
        output = bytearray()
        cancelled = False
        with selectors.DefaultSelector() as selector:
            selector.register(process.stdout, selectors.EVENT_READ)
            selector.register(errors, selectors.EVENT_READ)
            while selector.get_map():
                if not cancelled and self.feedback.isCanceled():
                    cancelled = True
                    process.send_signal(signal.SIGTERM)
                for key, _ in selector.select(timeout=0.1):
                    try:
                        chunk = os.read(key.fd, 65536)
                    except OSError:  # the terminal's end once the program has exited
                        chunk = b''
                    if not chunk:
                        selector.unregister(key.fileobj)
                    elif key.fileobj == errors:
                        self.read_errors(self.decoder.decode(chunk))
                    else:
                        output.extend(chunk)
        if master is not None:
            os.close(master)
        else:
            process.stderr.close()
        process.stdout.close()
        status = process.wait()
        self.read_errors(self.decoder.decode(b'', final=True) + '\n')
        # A run that finished before the cancel reached it keeps its results.
        if status in (128 + signal.SIGINT, 128 + signal.SIGTERM, 128 + signal.SIGHUP):
            raise QgsProcessingException('The run was cancelled.')
        text = output.decode('utf-8', 'replace')
        if status != 0:
            raise QgsProcessingException(self.failure(status))
        return text

    def read_errors(self, text):
        """Progress bars go to the feedback's progress, every other line is a message."""
        pieces = re.split(r'[\r\n]', self.pending + text)
        self.pending = pieces.pop()
        for piece in pieces:
            piece = piece.replace('\x1b[K', '').strip()
            bar = BAR.match(piece)
            if bar:
                self.feedback.setProgress(int(bar.group(1)))
            elif piece:
                self.messages.append(self.shown(piece))
                self.feedback.pushInfo(self.messages[-1])
        # A bar is drawn without a line end: shown before the next one arrives.
        bar = BAR.match(self.pending.replace('\x1b[K', '').strip())
        if bar:
            self.feedback.setProgress(int(bar.group(1)))

    def failure(self, status):
        if status == 2 and self.messages:
            # A value the command line refused: its first line names the option.
            found = USAGE_OPTION.match(self.messages[0])
            if found:
                reason = self.messages[0][len('lumesta-cli: '):]
                name = self.options.get(found.group(1))
                return 'Incorrect parameter value for {}: {}'.format(name, reason) if name else reason
            return self.messages[0]
        if self.messages:
            return '\n'.join(self.messages)
        return '{} ended with status {}.'.format(PROGRAM, status)
