function assert_fails_with(call, expected)
  % Asserts that call() raises an error whose message is `expected`. The host may put the function's
  % name and ": " in front of a message and drops a final newline; either way the text must match.
  try
    call();
  catch err
    expected = regexprep(expected, '\n$', '');
    message = regexprep(err.message, '\n$', '');
    prefix = message(1:max(0, numel(message) - numel(expected)));
    matches = strcmp(message, expected) || ...
              (endsWith(message, expected) && ~isempty(regexp(prefix, '^\w+: $', 'once')));
    assert(matches, 'message "%s", expected "%s"', err.message, expected);
    return;
  end
  error('no error raised; expected "%s"', expected);
end
