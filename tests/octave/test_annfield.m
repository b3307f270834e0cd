function cases = test_annfield
  % annfield and annfield_knn, the MATLAB front end of the matcher, chaining the built MEX files.
  addpath(fullfile(fileparts(mfilename('fullpath')), '..', '..', 'matlab'));
  % annfield measures its errors with patcherr_rgb/patcherr_gray; until those are built there is
  % nothing to run.
  if isempty(which('patcherr_rgb'))
    printf('test_annfield: patcherr_rgb is not built, annfield cases not run\n');
    cases = {};
    return;
  end
  cases = {@agrees_with_the_command_line_on_the_bundled_pair, @identical_images_give_the_identity, ...
           @errors_are_the_patch_errors_of_the_matches, @k_nearest_within_one_image, ...
           @grey_images_and_help_text};
end

function root = repository
  root = fullfile(fileparts(mfilename('fullpath')), '..', '..');
end

function image = scene(m, n, channels, seed)
  % Smooth waves plus noise, like a photograph.
  rand('twister', seed);
  [c, r] = meshgrid(0:n - 1, 0:m - 1);
  image = zeros(m, n, channels);
  for ch = 1:channels
    f = 0.4 * rand(3, 2);
    ph = 6.3 * rand(3, 1);
    v = 128 + 20 * (rand(m, n) - 0.5);
    for i = 1:3
      v = v + 35 * sin(f(i, 1) * r + f(i, 2) * c + ph(i));
    end
    image(:, :, ch) = v;
  end
  image = uint8(image);
end

function agrees_with_the_command_line_on_the_bundled_pair
  % The mean RMS error of annfield's field lies within 1% of gckmatch's on the same pair.
  data = fullfile(repository, 'data');
  A = imread(fullfile(data, 'motorcycle_left.png'));
  B = imread(fullfile(data, 'motorcycle_right.png'));
  [nnf, err] = annfield(A, B);
  assert(isequal(size(nnf), [243, 363, 2]) && isequal(size(err), [243, 363]));
  ours = mean(double(err(:))) / sqrt(8 * 8 * 3);
  gckmatch = fullfile(repository, 'build', 'linux', 'tools', 'gckmatch');
  out = tempname();
  [status, text] = system(sprintf('"%s" match "%s" "%s" --out "%s"', gckmatch, ...
                                  fullfile(data, 'motorcycle_left.png'), ...
                                  fullfile(data, 'motorcycle_right.png'), out));
  confirm_recursive_rmdir(false, 'local');
  if exist(out, 'dir'), rmdir(out, 's'); end
  assert(status == 0, 'gckmatch failed: %s', text);
  theirs = sscanf(text(strfind(text, 'mean RMS patch error: ') + 22:end), '%f', 1);
  assert(abs(ours - theirs) <= 0.01 * theirs, 'annfield %.4f against gckmatch %.4f', ours, theirs);
end

function identical_images_give_the_identity
  rand('twister', 5);
  A = uint8(randi([0 255], 30, 41, 3));
  [nnf, err] = annfield(A, A);
  [c, r] = meshgrid(1:34, 1:23);
  assert(isequal(nnf(:, :, 1), r) && isequal(nnf(:, :, 2), c));
  assert(all(err(:) == 0));
end

function errors_are_the_patch_errors_of_the_matches
  A = scene(35, 44, 3, 1);
  B = scene(39, 37, 3, 2);
  opts = struct('width', 5, 'k', 3);
  [nnf, err] = annfield(A, B, opts);
  assert(isequal(size(nnf), [31, 40, 2, 3]) && isequal(size(err), [31, 40, 3]));
  for trial = 1:200
    r = randi(31);
    c = randi(40);
    for s = 1:3
      rb = nnf(r, c, 1, s);
      cb = nnf(r, c, 2, s);
      d = double(A(r:r + 4, c:c + 4, :)) - double(B(rb:rb + 4, cb:cb + 4, :));
      assert(err(r, c, s) == single(sqrt(sum(d(:) .^ 2))), 'error of (%d, %d) entry %d', r, c, s);
    end
    assert(issorted(squeeze(err(r, c, :))));
    assert(size(unique(squeeze(nnf(r, c, :, :))', 'rows'), 1) == 3);
  end
end

function k_nearest_within_one_image
  A = scene(28, 33, 3, 3);
  [nnf, err] = annfield_knn(A, [], 4, struct('width', 4));
  assert(isequal(size(nnf), [25, 30, 2, 4]));
  [c, r] = meshgrid(1:30, 1:25);
  for s = 1:4
    assert(~any(any(nnf(:, :, 1, s) == r & nnf(:, :, 2, s) == c)), 'a patch matched itself');
  end
  assert(all(all(all(diff(err, 1, 3) >= 0))));
end

function grey_images_and_help_text
  A = scene(26, 31, 1, 4);
  B = scene(30, 27, 1, 6);
  [nnf, err] = annfield(A, B, struct('width', 6));
  assert(isequal(size(nnf), [21, 26, 2]) && all(err(:) >= 0));
  assert(~isempty(strfind(help('annfield'), 'nearest-neighbour field')));
  assert(~isempty(strfind(help('annfield_knn'), 'k nearest patches')));
  assert_fails_with(@() annfield(A, B, struct('width', 40)), 'patch width 40 is larger than an image');
end
